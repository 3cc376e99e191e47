// Windows side of the collector's system setup.
#include "../SystemSetup.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

void prepareProcess() {
    _setmode(_fileno(stdout), _O_BINARY); // record bytes pass unchanged, no "\r\n"
}

bool quickRebindWanted() {
    return false;
}
