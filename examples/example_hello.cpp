// The smallest program that loads ksLog: it asks the library to initialise itself.
#include <cstdio>
#include "ksLog.h"

int main() {
    std::printf("ksLog initialised: %d, level threshold 0x%04x\n", ksLog_Init(), _ksLog_Level);
    ksLog_Term();
    return 0;
}
