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

int reopenSignalNumber() {
    return 0; // no SIGHUP: files are reopened when the collector restarts
}

bool standardOutputIsTerminal() {
    return _isatty(_fileno(stdout)) != 0;
}
