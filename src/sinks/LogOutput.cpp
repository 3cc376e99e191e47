// Choosing the file sink's output from the "File" setting.
#include "sinks/LogOutput.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "foundation/Fatal.h"
#include "sinks/LogFileOutput.h"
#include "sinks/StreamOutput.h"

void* ksLogOutput::operator new(size_t size) {
    return ksMalloc(size);
}
void ksLogOutput::operator delete(void* block) {
    std::free(block);
}

bool isStandardStreamName(const char* name) {
    return std::strcmp(name, "stderr") == 0 || std::strcmp(name, "stdout") == 0;
}

ksLogOutput* openLogOutput(const char* name, bool append) {
    if (std::strcmp(name, "stderr") == 0)
        return new ksStreamOutput(stderr);
    if (std::strcmp(name, "stdout") == 0)
        return new ksStreamOutput(stdout);
    return ksLogFileOutput::open(name, append);
}
