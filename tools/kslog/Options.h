// The command line of kslog: what to write, at which level and module, and how.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Options {
    uint16_t level = 3; // info
    uint16_t module = 0;
    bool hex = false;
    bool help = false;
    std::vector<std::string> message; // empty: the records come from standard input
};

struct ParsedOptions {
    Options options;
    std::string error; // empty when the command line is valid
};

// Options come first; the first other word, or whatever follows "--", begins the message.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);
