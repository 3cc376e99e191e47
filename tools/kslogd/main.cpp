// kslogd, the reference log collector: receives the streams of the logging library's
// daemon sink and stores them per instance, or shows them on standard output.
#include "Collector.h"
#include "InstanceStore.h"
#include "Options.h"
#include "Summary.h"
#include "SystemSetup.h"

#include <asio.hpp>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

int collect(const Options& options) {
    if (!options.outFolder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(options.outFolder, error);
        if (error) {
            std::fprintf(stderr, "kslogd: cannot create %s: %s\n", options.outFolder.c_str(),
                         error.message().c_str());
            return 1;
        }
    }
    OutputSettings output;
    output.folder = options.outFolder;
    output.json = options.json;
    output.terminal = standardOutputIsTerminal();
    output.maxInstances = options.maxInstances;
    output.rotation = options.rotation;
    InstanceStore store(output, stdout);
    asio::io_context io(1);
    Collector collector(io, options, store);
    std::string message;
    if (!collector.listen(message)) {
        std::fprintf(stderr, "kslogd: %s\n", message.c_str());
        return 1;
    }
    io.run();
    store.flushAll();
    store.closeFiles();
    std::fputs(summaryText(store, collector.counts()).c_str(), stderr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    prepareProcess();
    ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
    case ParsedOptions::Action::help:
        std::fputs(usageText(), stdout);
        return 0;
    case ParsedOptions::Action::error:
        std::fprintf(stderr, "%s\nTry 'kslogd --help'.\n", parsed.error.c_str());
        return 2;
    case ParsedOptions::Action::run:
        break;
    }
    try {
        return collect(parsed.options);
    } catch (const std::exception& failure) { // Asio reports system failures this way
        std::fprintf(stderr, "kslogd: %s\n", failure.what());
        return 1;
    }
}
