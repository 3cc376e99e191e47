// Starts a registered child (KSLOG_CHILD) as a separate process that runs on its own,
// and ends it abruptly, as a crash or a power cut would: for tests of crash safety.
#pragma once
#include <string>

class BackgroundChild {
  public:
    BackgroundChild() = default;
    ~BackgroundChild();
    BackgroundChild(const BackgroundChild&) = delete;
    BackgroundChild& operator=(const BackgroundChild&) = delete;

    // Runs the child named name with program (the running test program when empty).
    bool start(const std::string& name, const std::string& program = {});
    // Ends the process at once and waits until it is gone.
    void kill();
    bool running() const { return running_; }

  private:
    bool running_ = false;
    long long process_ = 0; // a process id or a process handle
};

void sleepMilliseconds(int milliseconds);
void sleepMicroseconds(int microseconds);
