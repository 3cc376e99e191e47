// An application whose records stream to the log collector. The daemon sink is one of the
// library's two default sinks: it needs no call, only a collector to talk to. Its target
// is the "Target" key of section [ksLogd] in the settings file beside the executable
// (by default 127.0.0.1:12222); this program names it through the older KESTLOG variable
// when one is given on the command line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include "ksLog.h"

namespace {

constexpr uint16_t moduleOrders = 1000; // from 256 up, every sink takes the module

void setTarget(const char* target) {
    std::string assignment = std::string("KESTLOG=") + target;
#ifdef _WIN32
    _putenv(assignment.c_str());
#else
    setenv("KESTLOG", target, 1);
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1)
        setTarget(argv[1]);
    for (int order = 1; order <= 5; ++order) {
        KSLOG_INFO(moduleOrders, "order %d shipped\n", order);
        // Without waiting for the network, a record that finds the connection still
        // being made is counted as lost and reported to the collector later.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    KSLOG_WARNING(moduleOrders, "stock low: %s\n", "bolts");
    ksLog_Term(); // closes the connection; unloading the library would do it too
    std::puts("done");
    return 0;
}
