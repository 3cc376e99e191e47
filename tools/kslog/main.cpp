// kslog: writes records through ksLog from a shell script or a terminal, so they go
// wherever this program's settings files send them.
#include <cstdio>
#include <iostream>
#include <string>
#include "Host.h"
#include "Options.h"
#include "RecordWriter.h"
#include "ksLog.h"

namespace {

enum ExitStatus { kAccepted = 0, kRefused = 1, kBadUsage = 2 };

void printUsage() {
    std::printf("Usage: kslog [--level error|warning|info|debug|N] [--module N] [--hex] [--] "
                "[MESSAGE...]\n"
                "Writes one record through ksLog: the MESSAGE words joined by blanks, or, without\n"
                "MESSAGE, one record per line of standard input. Options come before the message.\n"
                "\n"
                "  --level L   the level: error, warning, info (the default), debug or a number\n"
                "              from 0 to 65535\n"
                "  --module N  the module identifier, from 0 to 65535 (default 0)\n"
                "  --hex       write the message as a hex dump; without MESSAGE, all of standard\n"
                "              input is one dump\n"
                "  --help      show this text\n"
                "\n"
                "Exit status: 0 when every record was accepted, 1 when a record was refused by\n"
                "every sink, 2 for a bad command line.\n");
}

// What became of the locator, in the words of --help.
const char* locatorState(int32_t state) {
    switch (state) {
    case KSLOG_LOCATOR_READ:
        return "present: its ReadPath and WritePath place the others";
    case KSLOG_LOCATOR_NOT_REGULAR:
        return "ignored, not a regular file: the others lie beside the program";
    case KSLOG_LOCATOR_TOO_LARGE:
        return "ignored, too large: the others lie beside the program";
    default:
        return "absent: the others lie beside the program";
    }
}

const char* shown(const char* path) {
    return *path ? path : "unknown (this program cannot find its own folder)";
}

// The files the library reads for this program, as the library itself finds them.
void printSettingsFiles() {
    ksLogSettingsFiles files;
    std::string texts(1024, '\0');
    for (;;) {
        uint32_t needed = ksLog_SettingsFiles(&files, texts.data(), uint32_t(texts.size()));
        if (needed <= texts.size())
            break;
        texts.resize(needed);
    }
    std::printf("\nWhere the records go is set by this program's settings files "
                "(application %s):\n",
                files.application);
    std::printf("  locator     %s (%s)\n", shown(files.locator), locatorState(files.locatorState));
    std::printf("  read file   %s\n", shown(files.readFile));
    if (!*files.writeFile)
        std::printf("  write file  none (the locator's WritePath is empty)\n");
    else
        std::printf("  write file  %s (its values win over the read file's)\n", files.writeFile);
    std::printf("For example, this read file prints records of level info and above on the\n"
                "standard output and sends them to a log collector on port 12222 of this machine:\n"
                "  [File]\n"
                "  Level=Info\n"
                "  File=stdout\n"
                "  LOG_GENERAL=1\n"
                "  [ksLogd]\n"
                "  Level=Info\n"
                "  Target=127.0.0.1:12222\n"
                "  Blocking=1\n"
                "  LOG_GENERAL=1\n"
                "Each section takes a module below 256 only where its switch is on (module 0 is\n"
                "GENERAL, so LOG_GENERAL=1); modules from 256 up are always on. Blocking=1 makes\n"
                "this short-lived program wait for the connection instead of losing its record.\n");
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedOptions parsed = parseOptions(commandLineArguments(argc, argv));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "kslog: %s\nTry 'kslog --help'.\n", parsed.error.c_str());
        return kBadUsage;
    }
    const Options& options = parsed.options;
    if (options.help) {
        printUsage();
        printSettingsFiles();
        return kAccepted;
    }
    bool accepted;
    if (options.message.empty()) {
        readInputAsBinary();
        accepted = writeInput(options, std::cin);
    } else {
        accepted = writeRecord(options, joined(options.message));
    }
    ksLog_Term(); // flushes and closes the sinks before the process ends
    return accepted ? kAccepted : kRefused;
}
