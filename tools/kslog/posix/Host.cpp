// POSIX: arguments are already bytes and input is binary.
#include "Host.h"

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void readInputAsBinary() {}
