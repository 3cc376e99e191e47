// The collector's command line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FileRotation.h"

struct Options {
    std::string host = "127.0.0.1";
    std::uint16_t port = 12222;
    std::string outFolder; // empty: standard output
    bool json = false;
    std::size_t maxConnections = 1024;
    std::size_t maxInstances = 65536;
    unsigned headerTimeoutSeconds = 10;
    RotationLimits rotation; // of the files in outFolder
};

struct ParsedOptions {
    enum class Action { run, help, error };
    Action action = Action::run;
    Options options;
    std::string error; // a one-line message for Action::error
};

// Parses the arguments after the program name; "--name value" and "--name=value" both work.
ParsedOptions parseOptions(const std::vector<std::string>& arguments);

// Splits "HOST:PORT" at its last colon ("[::1]:PORT" for IPv6); false when malformed.
bool parseListenAddress(const std::string& text, std::string& host, std::uint16_t& port);

const char* usageText();
