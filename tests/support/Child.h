// Runs a named piece of test code in a fresh process of the same test program,
// for tests that need a new library state, an exit status or the exact output.
#pragma once
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

struct ChildResult {
    int exitCode = -1000; // the child's exit status as an 8-bit value (255 for -1)
    std::string output;   // the child's standard output ("\r\n" read as "\n" on Windows)
};

using ChildEnv = std::vector<std::pair<std::string, std::string>>;

// Runs the child registered under name with this program (or with program, a copy of
// it elsewhere), with the variables in env set for the child only.
ChildResult runChild(const std::string& name, const ChildEnv& env = {},
                     const std::string& program = {});

// Runs program with arguments, a command-line fragment quoted the way both the POSIX
// shell and cmd.exe read it (plain words, double-quoted phrases), with redirections of
// its own if needed; the result holds its exit status and standard output.
ChildResult runProgram(const std::string& program, const std::string& arguments);

// Sets (or, for a null value, removes) a variable of this process's environment.
void setEnvironmentVariable(const std::string& name, const char* value);

// The path of the running test program.
const std::string& testProgramPath();

// Copies the running test program (and, on Windows, the DLLs beside it) into folder;
// returns the copy's path.
std::string copyTestProgram(const std::string& folder);

using ChildBody = int (*)();
bool registerChild(const char* name, ChildBody body);
int runRegisteredChild(const char* name);

// KSLOG_CHILD(name) { ...; return status; } defines code that runChild("name") executes.
#define KSLOG_CHILD(name)                                                                          \
    static int kslogChild_##name();                                                                \
    static const bool kslogChildRegistered_##name = registerChild(#name, kslogChild_##name);       \
    static int kslogChild_##name()

// In child code: reports the failed condition on standard output, where runChild's caller
// sees it, and ends the child with status 1.
#define CHILD_CHECK(condition)                                                                     \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::printf("failed at line %d: %s\n", __LINE__, #condition);                          \
            return 1;                                                                              \
        }                                                                                          \
    } while (0)
