#include <gtest/gtest.h>
#include <cstdlib>
#include <cstring>
#include "Child.h"

void rememberTestProgram(const char* argv0);

int main(int argc, char** argv) {
    rememberTestProgram(argv[0]);
    // Test programs never stream to a collector that happens to listen on the default
    // address: the daemon sink switches itself off unless a test points it somewhere.
    if (!std::getenv("KESTLOG"))
        setEnvironmentVariable("KESTLOG", "null");
    if (argc == 3 && std::strcmp(argv[1], "--kslog-child") == 0)
        return runRegisteredChild(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
