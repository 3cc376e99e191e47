// The command line: accepted forms and the messages for mistakes.
#include "Options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Options, ReadsEveryFormAndRefusesMistakes) {
    using Action = ParsedOptions::Action;
    struct {
        std::vector<std::string> arguments;
        Action action;
        const char* expected; // the fields as "host port out json max timeout", or the error
    } cases[] = {
        {{}, Action::run, "127.0.0.1 12222  0 1024 10"},
        {{"--listen", "0.0.0.0:0", "--out", "logs", "--json"},
         Action::run,
         "0.0.0.0 0 logs 1 1024 10"},
        {{"--listen=localhost:65535", "--max-connections=5", "--header-timeout", "2"},
         Action::run,
         "localhost 65535  0 5 2"},
        {{"--max-instances", "3"}, Action::run, "127.0.0.1 12222  0 1024 10 3"},
        {{"--max-instances", "0"},
         Action::error,
         "kslogd: --max-instances wants a number from 1 to 100000000, not '0'"},
        {{"--listen", "[::1]:80"}, Action::run, "::1 80  0 1024 10"},
        {{"--max-size", "10M", "--keep=3"}, Action::run, "127.0.0.1 12222  0 1024 10 r10485760/3"},
        {{"--max-size=512"}, Action::run, "127.0.0.1 12222  0 1024 10 r512/0"},
        {{"--max-size", "0"},
         Action::error,
         "kslogd: --max-size wants bytes (with K, M or G) above 0, not '0'"},
        {{"--max-size", "1.5G"},
         Action::error,
         "kslogd: --max-size wants bytes (with K, M or G) above 0, not '1.5G'"},
        {{"--max-size", "9999999999G"},
         Action::error,
         "kslogd: --max-size wants bytes (with K, M or G) above 0, not '9999999999G'"},
        {{"--keep", "0"}, Action::error, "kslogd: --keep wants a number from 1 to 1000000, not '0'"},
        {{"--listen", "a:b:7"}, Action::run, "a:b 7  0 1024 10"},
        {{"--json", "--help", "--bogus"}, Action::help, ""},
        {{"--bogus"}, Action::error, "kslogd: unknown option '--bogus'"},
        {{"--json=1"}, Action::error, "kslogd: unknown option '--json=1'"},
        {{"--out"}, Action::error, "kslogd: --out wants a value"},
        {{"--out="}, Action::error, "kslogd: --out wants a folder"},
        {{"--listen", "12222"},
         Action::error,
         "kslogd: --listen wants HOST:PORT with a port from 0 to 65535, not '12222'"},
        {{"--listen", ":12222"},
         Action::error,
         "kslogd: --listen wants HOST:PORT with a port from 0 to 65535, not ':12222'"},
        {{"--listen", "host:70000"},
         Action::error,
         "kslogd: --listen wants HOST:PORT with a port from 0 to 65535, not 'host:70000'"},
        {{"--listen", "host:"},
         Action::error,
         "kslogd: --listen wants HOST:PORT with a port from 0 to 65535, not 'host:'"},
        {{"--max-connections", "0"},
         Action::error,
         "kslogd: --max-connections wants a number from 1 to 1000000, not '0'"},
        {{"--header-timeout", "-1"},
         Action::error,
         "kslogd: --header-timeout wants seconds from 1 to 86400, not '-1'"},
    };
    for (const auto& test : cases) {
        ParsedOptions parsed = parseOptions(test.arguments);
        std::string shown = parsed.error;
        if (parsed.action == Action::run) {
            const Options& o = parsed.options;
            shown = o.host + " " + std::to_string(o.port) + " " + o.outFolder + " " +
                    std::to_string(o.json) + " " + std::to_string(o.maxConnections) + " " +
                    std::to_string(o.headerTimeoutSeconds);
            if (o.maxInstances != Options{}.maxInstances)
                shown += " " + std::to_string(o.maxInstances);
            if (o.rotation.maxSize != 0)
                shown += " r" + std::to_string(o.rotation.maxSize) + "/" +
                         std::to_string(o.rotation.keep);
        }
        std::string arguments;
        for (const std::string& argument : test.arguments)
            arguments += argument + " ";
        EXPECT_EQ(parsed.action, test.action) << arguments;
        EXPECT_EQ(shown, test.expected) << arguments;
    }
}

} // namespace
