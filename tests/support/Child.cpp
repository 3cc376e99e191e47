#include "Child.h"
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

std::string& programPath() {
    static std::string path;
    return path;
}

std::map<std::string, ChildBody>& children() {
    static std::map<std::string, ChildBody> table;
    return table;
}

void setVariable(const std::string& name, const std::string* value) {
#ifdef _WIN32
    _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
#endif
}

int exitCodeOf(int status) {
#ifdef _WIN32
    return status & 0xFF;
#else
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
#endif
}

} // namespace

void rememberTestProgram(const char* argv0) {
    std::error_code ec;
    fs::path path = fs::absolute(argv0, ec);
    programPath() = ec ? std::string(argv0) : path.string();
}

void setEnvironmentVariable(const std::string& name, const char* value) {
    std::string text = value ? value : "";
    setVariable(name, value ? &text : nullptr);
}

const std::string& testProgramPath() {
    return programPath();
}

bool registerChild(const char* name, ChildBody body) {
    children()[name] = body;
    return true;
}

int runRegisteredChild(const char* name) {
    auto found = children().find(name);
    if (found == children().end()) {
        std::fprintf(stderr, "no child named %s\n", name);
        return 199;
    }
    return found->second();
}

namespace {

// Starting the shell, or the shell starting the program, fails now and then under wine while
// the other test programs start theirs (cmd.exe then ends with 9009): the child never ran, so
// a few more tries tell that from a child that cannot run.
FILE* openCommand(const std::string& command) {
    FILE* pipe = nullptr;
    for (int attempt = 0; attempt < 5 && !pipe; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
#ifdef _WIN32
        // cmd.exe strips one outer pair of quotes.
        pipe = _popen(("\"" + command + "\"").c_str(), "rb");
#else
        pipe = popen(command.c_str(), "r");
#endif
    }
    return pipe;
}

ChildResult runCommand(const std::string& command) {
    ChildResult result;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
        std::fflush(nullptr);
        FILE* pipe = openCommand(command);
        if (!pipe)
            return result;
        result.output.clear();
        char chunk[4096];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            result.output.append(chunk, got);
#ifdef _WIN32
        // The child's standard output is in text mode: compare in "\n" terms.
        for (size_t at; (at = result.output.find("\r\n")) != std::string::npos;)
            result.output.erase(at, 1);
        const int status = _pclose(pipe);
        result.exitCode = exitCodeOf(status);
        if (status != 9009)
            break;
#else
        result.exitCode = exitCodeOf(pclose(pipe));
        break;
#endif
    }
    return result;
}

} // namespace

ChildResult runChild(const std::string& name, const ChildEnv& env, const std::string& program) {
    std::map<std::string, std::pair<bool, std::string>> saved;
    for (const auto& [key, value] : env) {
        const char* old = std::getenv(key.c_str());
        saved[key] = {old != nullptr, old ? old : ""};
        setVariable(key, &value);
    }
    ChildResult result =
        runCommand("\"" + (program.empty() ? programPath() : program) + "\" --kslog-child " + name);
    for (const auto& [key, old] : saved)
        setVariable(key, old.first ? &old.second : nullptr);
    return result;
}

ChildResult runProgram(const std::string& program, const std::string& arguments) {
    return runCommand("\"" + program + "\" " + arguments);
}

std::string copyTestProgram(const std::string& folder) {
    fs::path source(programPath());
    fs::path target = fs::path(folder) / source.filename();
    fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(source.parent_path(), ec)) {
        if (entry.path().extension() == ".dll")
            fs::copy_file(entry.path(), fs::path(folder) / entry.path().filename(),
                          fs::copy_options::overwrite_existing, ec);
    }
    return target.string();
}
