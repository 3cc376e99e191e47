#include "Background.h"
#include <chrono>
#include <thread>
#include "Child.h"
#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

BackgroundChild::~BackgroundChild() {
    kill();
}

bool BackgroundChild::start(const std::string& name, const std::string& program) {
    kill();
    std::string path = program.empty() ? testProgramPath() : program;
#ifdef _WIN32
    std::string command = "\"" + path + "\" --kslog-child " + name;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_ = reinterpret_cast<long long>(info.hProcess);
#else
    std::string flag = "--kslog-child";
    char* argv[] = {path.data(), flag.data(), const_cast<char*>(name.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return false;
    process_ = pid;
#endif
    running_ = true;
    return true;
}

void BackgroundChild::kill() {
    if (!running_)
        return;
#ifdef _WIN32
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    TerminateProcess(process, 9);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
#else
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    int status = 0;
    waitpid(static_cast<pid_t>(process_), &status, 0);
#endif
    running_ = false;
}

void sleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void sleepMicroseconds(int microseconds) {
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
}
