#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include "Child.h"

void rememberTestProgram(const char* argv0);

int main(int argc, char** argv) {
    rememberTestProgram(argv[0]);
    // A child keeps the environment its test gave it (an unset KESTLOG included).
    if (argc == 3 && std::strcmp(argv[1], "--kslog-child") == 0)
        return runRegisteredChild(argv[2]);
    // Test programs never stream to a collector that happens to listen on the default
    // address: the daemon sink switches itself off unless a test points it somewhere.
    if (!std::getenv("KESTLOG"))
        setEnvironmentVariable("KESTLOG", "null");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
