#include <gtest/gtest.h>
#include <cstring>
#include "Child.h"

void rememberTestProgram(const char* argv0);

int main(int argc, char** argv) {
    rememberTestProgram(argv[0]);
    if (argc == 3 && std::strcmp(argv[1], "--kslog-child") == 0)
        return runRegisteredChild(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
