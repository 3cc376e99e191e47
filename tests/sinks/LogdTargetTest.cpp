// The daemon sink's target: the "Target" setting with KESTLOG, and host and port.
#include <gtest/gtest.h>
#include <string>
#include "sinks/LogdTarget.h"

TEST(LogdTarget, SettingAndVariableMakeTheTarget) {
    struct Case {
        const char* configured;
        const char* environment;
        const char* target; // "" switches the sink off
        bool banner;
    };
    const Case cases[] = {
        {"%KESTLOG%", "", "127.0.0.1:12222", false}, // nothing set: the default
        {"%KESTLOG%", "loghost", "loghost", false},  // the variable as the target
        {"%KESTLOG%", "null", "", false},            // the variable switches it off
        {"10.0.0.1:%KESTLOG%", "9999", "10.0.0.1:9999", false},
        {"%KESTLOG%:%KESTLOG%", "7", "7:7", false}, // every occurrence
        {"NuLl", "", "", false},                    // "null" in any case
        {"null ", "", "null ", false},              // but only "null"
        {"10.1.2.3:9999", "", "10.1.2.3:9999", false},
        {"10.1.2.3:9999", "10.1.2.3:9999", "10.1.2.3:9999", false}, // the same target
        {"10.1.2.3:9999", "loghost", "10.1.2.3:9999", true}, // the setting wins, with a banner
        {"null", "loghost", "", true},
    };
    for (const Case& c : cases) {
        ksLogdTargetChoice choice = chooseLogdTarget(c.configured, c.environment);
        EXPECT_STREQ(choice.target.c_str(), c.target) << c.configured << " / " << c.environment;
        EXPECT_EQ(choice.deprecationBanner, c.banner) << c.configured << " / " << c.environment;
    }
}

TEST(LogdTarget, SplitsAtTheLastColon) {
    struct Case {
        const char* target;
        const char* host;
        const char* port;
    };
    const Case cases[] = {
        {"loghost", "loghost", "12222"},
        {"10.1.2.3:9999", "10.1.2.3", "9999"},
        {"a:b:c", "a:b", "c"},
        {"loghost:", "loghost", "12222"},
        {":5000", ":5000", "12222"},
        {":", ":", "12222"},
        {"::1", ":", "1"},
        {"host:http", "host", "http"},
    };
    for (const Case& c : cases) {
        ksLogdEndpoint endpoint = splitLogdTarget(c.target);
        EXPECT_STREQ(endpoint.host.c_str(), c.host) << c.target;
        EXPECT_STREQ(endpoint.port.c_str(), c.port) << c.target;
    }
}
