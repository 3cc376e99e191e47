// Command-line parsing without exceptions: every mistake becomes a message.
#include "Options.h"

#include <string_view>

namespace {

bool parseUnsigned(std::string_view text, unsigned long long maximum, unsigned long long& value) {
    if (text.empty() || text.size() > 19)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned long long>(c - '0');
    }
    return value <= maximum;
}

ParsedOptions failure(std::string message) {
    ParsedOptions parsed;
    parsed.action = ParsedOptions::Action::error;
    parsed.error = std::move(message);
    return parsed;
}

bool takesValue(std::string_view name) {
    return name == "--listen" || name == "--out" || name == "--max-connections" ||
           name == "--max-instances" || name == "--header-timeout" || name == "--max-size" ||
           name == "--keep";
}

// Applies one option with its value; an empty result means it was accepted.
std::string applyOption(std::string_view name, const std::string& value, Options& options) {
    unsigned long long number = 0;
    if (name == "--listen") {
        if (!parseListenAddress(value, options.host, options.port))
            return "kslogd: --listen wants HOST:PORT with a port from 0 to 65535, not '" + value +
                   "'";
    } else if (name == "--out") {
        if (value.empty())
            return "kslogd: --out wants a folder";
        options.outFolder = value;
    } else if (name == "--max-connections") {
        if (!parseUnsigned(value, 1000000, number) || number == 0)
            return "kslogd: --max-connections wants a number from 1 to 1000000, not '" + value +
                   "'";
        options.maxConnections = static_cast<std::size_t>(number);
    } else if (name == "--max-instances") {
        if (!parseUnsigned(value, 100000000, number) || number == 0)
            return "kslogd: --max-instances wants a number from 1 to 100000000, not '" + value +
                   "'";
        options.maxInstances = static_cast<std::size_t>(number);
    } else if (name == "--header-timeout") {
        if (!parseUnsigned(value, 86400, number) || number == 0)
            return "kslogd: --header-timeout wants seconds from 1 to 86400, not '" + value + "'";
        options.headerTimeoutSeconds = static_cast<unsigned>(number);
    } else if (name == "--max-size") {
        if (!parseByteSize(value, options.rotation.maxSize) || options.rotation.maxSize == 0)
            return "kslogd: --max-size wants bytes (with K, M or G) above 0, not '" + value + "'";
    } else if (name == "--keep") {
        if (!parseUnsigned(value, 1000000, number) || number == 0)
            return "kslogd: --keep wants a number from 1 to 1000000, not '" + value + "'";
        options.rotation.keep = static_cast<std::size_t>(number);
    }
    return {};
}

} // namespace

bool parseListenAddress(const std::string& text, std::string& host, std::uint16_t& port) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0)
        return false;
    std::string hostPart = text.substr(0, colon);
    if (hostPart.size() >= 2 && hostPart.front() == '[' && hostPart.back() == ']')
        hostPart = hostPart.substr(1, hostPart.size() - 2);
    unsigned long long number = 0;
    if (hostPart.empty() || !parseUnsigned(std::string_view(text).substr(colon + 1), 65535, number))
        return false;
    host = hostPart;
    port = static_cast<std::uint16_t>(number);
    return true;
}

ParsedOptions parseOptions(const std::vector<std::string>& arguments) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::size_t equals = argument.find('=');
        std::string name = argument.substr(0, equals);
        if (name == "--help" || name == "-h") {
            parsed.action = ParsedOptions::Action::help;
            return parsed;
        }
        if (name == "--json" && equals == std::string::npos) {
            parsed.options.json = true;
            continue;
        }
        if (!takesValue(name))
            return failure("kslogd: unknown option '" + argument + "'");
        std::string value;
        if (equals != std::string::npos)
            value = argument.substr(equals + 1);
        else if (i + 1 < arguments.size())
            value = arguments[++i];
        else
            return failure("kslogd: " + name + " wants a value");
        std::string problem = applyOption(name, value, parsed.options);
        if (!problem.empty())
            return failure(problem);
    }
    return parsed;
}

const char* usageText() {
    return "Usage: kslogd [OPTIONS]\n"
           "Receives the log streams of ksLog applications (protocol ksLogd-1.0) over TCP.\n"
           "\n"
           "  --listen HOST:PORT      address to listen on (default 127.0.0.1:12222);\n"
           "                          port 0 picks a free port, reported on standard error\n"
           "  --out DIR               one file per instance in DIR, named from the\n"
           "                          application and its identifier, appended across\n"
           "                          reconnections; without it, standard output with each\n"
           "                          line tagged with the application name\n"
           "  --json                  one JSON object per record line (instance, application,\n"
           "                          level, time, thread, module, text); with --out the\n"
           "                          files end in .jsonl instead of .log\n"
           "  --max-connections N     connections served at once (default 1024); when all\n"
           "                          are taken, the one quiet longest is closed for a new one\n"
           "  --max-instances N       instances remembered (default 65536); when all are\n"
           "                          taken, those without a connection are forgotten, their\n"
           "                          counts kept together in the summary\n"
           "  --header-timeout SECS   time a new connection has to send its header (default 10)\n"
           "  --max-size BYTES        with --out: a record that would take an instance's file\n"
           "                          past BYTES (K, M, G: 1024-based) starts a new file; the\n"
           "                          full one is renamed to NAME.YYYYMMDD-HHMMSS-mmm.log\n"
           "                          (local time, so the names sort by age)\n"
           "  --keep N                with --max-size: keep the N newest rotated files of each\n"
           "                          instance (default: all)\n"
           "  --help                  this text\n"
           "\n"
           "On a terminal, control characters of record text are shown as \\xNN; files, pipes\n"
           "and JSON get the bytes as received.\n"
           "On SIGHUP kslogd reopens its output files (after a log rotation). On SIGINT or\n"
           "SIGTERM it stops accepting, stores every byte already received, closes its files,\n"
           "prints a summary of each instance (connections, bytes, lines, records reported\n"
           "lost) on standard error and exits 0.\n"
           "Invalid options exit with status 2.\n";
}
