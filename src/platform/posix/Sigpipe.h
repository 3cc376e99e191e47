// Writes into pipes and sockets without the signal that would end the process.
#pragma once
#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <sys/stat.h>

namespace ksPlatform {

// A write into a pipe or socket whose reader has gone raises SIGPIPE, whose default ends
// the process. For the life of this object the signal is held back in the calling thread;
// one that the write raised is taken away before the mask is restored, so the write just
// fails with EPIPE. The application's own handling of the signal is left as it was.
// Only writes into pipes and sockets can raise it: for others, active is false and
// nothing is asked of the system.
inline bool raisesSigpipe(int descriptor) {
    struct stat status;
    return fstat(descriptor, &status) == 0 &&
           (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

class SigpipeHeldBack {
  public:
    explicit SigpipeHeldBack(bool active) : active_(active) {
        if (!active_)
            return;
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        wasPending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeHeldBack() {
        if (!active_)
            return;
        int error = errno;
        if (error == EPIPE && !wasPending_) {
            timespec none{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        errno = error;
    }
    SigpipeHeldBack(const SigpipeHeldBack&) = delete;
    SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

  private:
    bool active_ = false;
    bool wasPending_ = false;
    sigset_t pipe_;
    sigset_t previous_;
};

} // namespace ksPlatform
