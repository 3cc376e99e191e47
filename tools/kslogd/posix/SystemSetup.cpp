// POSIX side of the collector's system setup.
#include "../SystemSetup.h"

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

void prepareProcess() {
    std::signal(SIGPIPE, SIG_IGN);
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit); // keep the old limit if this is refused
    }
}

bool quickRebindWanted() {
    return true;
}

int reopenSignalNumber() {
    return SIGHUP;
}

bool standardOutputIsTerminal() {
    return isatty(fileno(stdout)) == 1;
}
