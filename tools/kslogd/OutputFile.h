// Opening an instance's output file in a folder that other users may write to.
#pragma once
#include <cstdio>
#include <string>

// Opens path for appending: created exclusively when it does not exist, never through
// a symbolic link (or other reparse point), and only when it is a regular file. Null,
// with a message in error, otherwise.
std::FILE* openOutputFile(const std::string& path, std::string& error);
