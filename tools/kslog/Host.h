// What kslog needs from the operating system, one implementation per system.
#pragma once
#include <string>
#include <vector>

// The program's arguments (without the program name) in UTF-8.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// Standard input delivers its bytes unchanged (no end-of-line translation).
void readInputAsBinary();
