// The file sink in a fresh process beside its settings: targets, the name pattern, the
// first line of every opening, open lines, appending, and the faults it lives through
// (names it cannot open, writes that fail).
#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include "AppFolder.h"
#include "config/Scenario.h"
#include "ksLog.h"
#include "platform/platform.h"
#include "sinks/LogFileName.h"
#include "support/Target.h"

namespace fs = std::filesystem;

namespace {

// Writes fail while set, as on a full disk.
bool diskFull = false;
// The next write puts this many bytes and the disk is full from then on.
size_t roomLeft = SIZE_MAX;

ksPlatform::RecordCalls systemCalls = ksPlatform::recordCalls;

// The bytes a write may put, and from then on the disk is full when they are fewer.
size_t room(size_t count) {
    size_t put = diskFull ? 0 : roomLeft < count ? roomLeft : count;
    if (put < count) {
        diskFull = true;
        roomLeft = SIZE_MAX;
    }
    return put;
}
size_t putUnlessFull(size_t count, size_t put, size_t written) {
    if (put < count)
        errno = ENOSPC;
    return written;
}
size_t writeLogUnlessFull(ksPlatform::FileHandle file, const char* bytes, size_t count) {
    size_t put = room(count);
    return putUnlessFull(count, put, put > 0 ? systemCalls.writeLog(file, bytes, put) : 0);
}
size_t writeStreamUnlessFull(std::FILE* stream, const char* bytes, size_t count) {
    size_t put = room(count);
    return putUnlessFull(count, put, put > 0 ? systemCalls.writeStream(stream, bytes, put) : 0);
}
// The clock the sink sees runs this far ahead of the system's.
uint64_t clockAhead = 0;
uint64_t shiftedClock() {
    return systemCalls.clock() + clockAhead;
}

bool flushUnlessFull(std::FILE* stream) {
    if (!diskFull)
        return systemCalls.flushStream(stream);
    errno = ENOSPC;
    return false;
}

std::string unescaped(const std::string& text) {
    std::string out;
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && text[at + 1] == 'n') {
            out += '\n';
            ++at;
        } else {
            out += text[at];
        }
    }
    return out;
}

// What another reader of the file sees now.
void show(const std::string& path) {
    std::printf("[%s]\n", readFileBytes(path).c_str());
}

void writeRecord(uint16_t level, const std::string& text) {
    ksLogRecord* record = ksLog_Begin(level, 300);
    if (!record)
        return;
    ksLog_Append_F("%s", text.c_str());
    ksLog_End(record);
}

void writeFromTwoThreads(int records) {
    ksLog_Init(); // records of other threads are refused while the first initialisation runs
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([t, records] {
            for (int i = 0; i < records; ++i)
                KSLOG_INFO(300, "thread %d record %d\n", t, i);
        });
    for (std::thread& thread : threads)
        thread.join();
}

// Two threads log without end while the process exits: their records race the exit-time
// teardown, which runs here first among the exit handlers and is followed by 50 ms of
// other work, as a larger program's exit would be.
[[noreturn]] void exitWhileThreadsLog() {
    std::atexit([] {
        ksLog_Term();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    });
    for (int t = 0; t < 2; ++t)
        std::thread([] {
            for (;;)
                KSLOG_INFO(300, "late\n");
        }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::exit(0);
}

// Forks count children while two threads log; each child writes one record with its
// process id and exits. Prints how many children had to be killed after 10 s.
void forkWhileThreadsLog(int count) {
#ifndef _WIN32
    KSLOG_INFO(300, "parent\n"); // the log is open before the first child: they share it
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&stop] {
            while (!stop)
                KSLOG_INFO(300, "parent\n");
        });
    int hung = 0;
    for (int i = 0; i < count; ++i) {
        pid_t child = fork();
        if (child == 0) {
            KSLOG_INFO(300, "child %08x\n", static_cast<unsigned>(getpid()));
            std::exit(0); // the exit-time teardown runs in the child too
        }
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ++hung;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    std::printf("hung %d\n", hung);
#else
    (void)count;
#endif
}

// Writes count records whose text is length bytes: "<pid> <number> " then 'x' up to the
// length, ending with a newline.
void writeLongLines(int count, int length) {
    for (int i = 0; i < count; ++i) {
        std::string text = std::to_string(ksPlatform::currentProcessId()) + " " + std::to_string(i) + " ";
        text.resize(static_cast<size_t>(length) - 1, 'x');
        KSLOG_INFO(300, "%s\n", text.c_str());
    }
}

// Steps separated by ";", fields by "|":
//   r|<level>|<text>   one record of module 300 ("\n" in text is a newline)
//   full, room         writes start or stop failing
//   roomFor|<bytes>    the next write puts this many bytes, then writes fail
//   show|<file>        prints the file's bytes as another reader sees them
//   threads|<count>    two threads write count records each
//   exit               exits while two threads keep logging
//   long|<count>|<n>   count records of n bytes of text each
//   await|<file>       waits up to 20 s until the file exists
//   fork|<count>       forks count children while two threads log (POSIX)
//   init, term, never  ksLogger_File_Init, ksLog_Term, ksLog_NeverLog
//   later|<seconds>    the sink's clock moves on
//   move|<from>|<to>, delete|<name>   what logrotate or a person does to the log
bool runStep(const std::vector<std::string>& f) {
    if (f[0] == "later" && f.size() == 2)
        clockAhead += std::stoull(f[1]) * 1000000u;
    else if (f[0] == "move" && f.size() == 3)
        fs::rename(f[1], f[2]);
    else if (f[0] == "delete" && f.size() == 2)
        fs::remove(f[1]);
    else
    if (f[0] == "r" && f.size() == 3)
        writeRecord(static_cast<uint16_t>(std::stoul(f[1])), unescaped(f[2]));
    else if (f[0] == "full" || f[0] == "room")
        diskFull = f[0] == "full";
    else if (f[0] == "roomFor" && f.size() == 2)
        roomLeft = std::stoul(f[1]);
    else if (f[0] == "show" && f.size() == 2)
        show(f[1]);
    else if (f[0] == "threads" && f.size() == 2)
        writeFromTwoThreads(std::stoi(f[1]));
    else if (f[0] == "exit")
        exitWhileThreadsLog();
    else if (f[0] == "await" && f.size() == 2)
        for (int i = 0; i < 20000 && !fileExists(f[1]); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    else if (f[0] == "long" && f.size() == 3)
        writeLongLines(std::stoi(f[1]), std::stoi(f[2]));
    else if (f[0] == "fork" && f.size() == 2)
        forkWhileThreadsLog(std::stoi(f[1]));
    else if (f[0] == "init")
        ksLogger_File_Init();
    else if (f[0] == "term")
        ksLog_Term();
    else if (f[0] == "never")
        ksLog_NeverLog();
    else
        return false;
    return true;
}

} // namespace

// Runs in the folder named by KSLOG_TEST_CWD, with its standard error stream in the file
// named by KSLOG_TEST_STDERR.
KSLOG_CHILD(fileSinkSteps) {
    std::error_code ec;
    fs::current_path(std::getenv("KSLOG_TEST_CWD"), ec);
    if (ec || !std::freopen(std::getenv("KSLOG_TEST_STDERR"), "w", stderr))
        return 4;
    ksPlatform::recordCalls.writeLog = writeLogUnlessFull;
    ksPlatform::recordCalls.writeStream = writeStreamUnlessFull;
    ksPlatform::recordCalls.flushStream = flushUnlessFull;
    ksPlatform::recordCalls.clock = shiftedClock;
    return runStepsFromEnvironment(runStep);
}

namespace {

class FileSink : public testing::Test {
  protected:
    // Runs the steps with the settings file holding [File] and these lines; returns what
    // the child printed on its standard output, times and thread ids made placeholders.
    // The daemon sink is off, so that the streams hold the file sink's output alone.
    std::string run(const std::string& fileSection, const std::string& steps) {
        writeFileBytes(app.readFile(), "[ksLogd]\r\nLevel=Off\r\n[File]\r\n" + fileSection);
        ChildResult result = runChild("fileSinkSteps",
                                      {{"KSLOG_TEST_STEPS", steps},
                                       {"KSLOG_TEST_CWD", workFolder()},
                                       {"KSLOG_TEST_STDERR", stderrFile()}},
                                      app.file(app.app()));
        EXPECT_EQ(result.exitCode, 0) << steps << "\n" << result.output;
        return withoutTimes(result.output);
    }
    // A log file's text: times placeholders, and on Windows lines ended by "\r\n" (the
    // runtime's text mode) read as "\n".
    std::string logText(const std::string& name) const {
        std::string text = readFileBytes(fs::path(workFolder()).append(name).string());
        if (kWindowsTarget) {
            for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
                text.erase(at, 1);
        }
        return withoutTimes(text);
    }
    std::string stderrText() const { return logText("../stderr.txt"); }
    std::string workFolder() const { return app.file("work"); }
    std::string stderrFile() const { return app.file("stderr.txt"); }
    // Files written in the working folder.
    std::set<std::string> logFiles() const {
        std::set<std::string> names;
        for (const std::string& name : app.newRegularFiles())
            if (name.rfind("work/", 0) == 0)
                names.insert(name.substr(5));
        return names;
    }
    std::string nameLine() const { return "NAME: " + app.app() + " (log started)\n"; }

    void SetUp() override { fs::create_directory(workFolder()); }

    AppFolder app;
};

std::string errorMessage(int code) {
    return std::string("ksFileLogger: ") + std::strerror(code) + "\n";
}

} // namespace

// Off by default; populate mode writes its keys with their defaults.
TEST_F(FileSink, WithoutALevelItWritesNothing) {
    EXPECT_EQ(run("[options]\r\npopulate=1\r\n", "r|1|error\\n;r|3|info\\n"), "");
    EXPECT_EQ(logFiles(), std::set<std::string>{});
    EXPECT_EQ(stderrText(), "");
    EXPECT_NE(
        readFileBytes(app.writeFile()).find("[file]\r\nlevel=Off\r\nfile=stderr\r\nappend=0\r\n"),
        std::string::npos);
}

// Exactly "stderr" and "stdout" name the streams; an empty value is the default, stderr.
TEST_F(FileSink, TargetsAreTheStreamsOrAFileInTheWorkingFolder) {
    const std::string line = "I TIME|TID|0000000300 hello\n";
    struct Case {
        const char* file;
        std::string out, err;
        std::set<std::string> files;
    } cases[] = {
        {"stdout", nameLine() + line, "", {}}, {"stderr", "", nameLine() + line, {}},
        {"", "", nameLine() + line, {}},       {"Stdout", "", "", {"Stdout"}},
        {"STDERR", "", "", {"STDERR"}},        {"./sub/../log.txt", "", "", {"log.txt"}},
    };
    fs::create_directory(app.file("work/sub"));
    for (const Case& c : cases) {
        EXPECT_EQ(
            run(std::string("Level=Info\r\nFile=") + c.file + "\r\n", "r|3|hello\\n;r|4|no\\n"),
            c.out)
            << c.file;
        EXPECT_EQ(stderrText(), c.err) << c.file;
        EXPECT_EQ(logFiles(), c.files) << c.file;
        for (const std::string& name : c.files)
            EXPECT_EQ(logText(name), nameLine() + line) << c.file;
        for (const std::string& name : c.files)
            fs::remove(fs::path(workFolder()) / name);
    }
}

TEST_F(FileSink, ThePatternTakesTheTimeOfOpeningAndTheApplicationName) {
    auto nowSeconds = [] {
        return static_cast<int64_t>(ksPlatform::wallClockMicroseconds() / 1000000u);
    };
    const char* pattern = "log_%n_%y%m%d_%H%M%S.%d.%Y";
    int64_t before = nowSeconds();
    run(std::string("Level=Info\r\nFile=") + pattern + "\r\n", "r|3|hello\\n");
    int64_t after = nowSeconds();
    std::set<std::string> expected;
    for (int64_t second = before; second <= after; ++second) {
        ksPlatform::LocalTime time;
        ASSERT_TRUE(ksPlatform::localTimeAt(second, &time));
        expected.insert(logFileName(pattern, &time, app.app().c_str()).c_str());
    }
    std::set<std::string> files = logFiles();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(expected.count(*files.begin()), 1u) << *files.begin();
    EXPECT_EQ(files.begin()->rfind("log_" + app.app() + "_", 0), 0u);
    EXPECT_NE(files.begin()->find(".%Y"), std::string::npos);
}

// A record without a newline leaves its line open: the next record continues it without
// a prefix, and nothing reaches the file until the line is complete.
TEST_F(FileSink, AnOpenLineIsContinuedAndFlushedOnlyWhenComplete) {
    std::string out = run("Level=Debug\r\nFile=log.txt\r\n",
                          "r|3|first ;show|log.txt;r|1|second\\n;show|log.txt;r|4|third\\n");
    std::string whole = nameLine() + "I TIME|TID|0000000300 first second\n";
    EXPECT_EQ(out, "[]\n[" + whole + "]\n");
    EXPECT_EQ(logText("log.txt"), whole + "D TIME|TID|0000000300 third\n");
}

TEST_F(FileSink, AppendKeepsEarlierRunsAndAnyOtherValueEmptiesTheFile) {
    struct Case {
        const char* append;
        int runsKept;
    } cases[] = {{"1", 2}, {"0", 1}, {"2", 1}, {"yes", 1}};
    for (const Case& c : cases) {
        for (int i = 0; i < 2; ++i)
            run(std::string("Level=Info\r\nFile=log.txt\r\nAppend=") + c.append + "\r\n",
                "r|3|run " + std::to_string(i) + "\\n");
        std::string expected;
        for (int i = 2 - c.runsKept; i < 2; ++i)
            expected += nameLine() + "I TIME|TID|0000000300 run " + std::to_string(i) + "\n";
        EXPECT_EQ(logText("log.txt"), expected) << c.append;
    }
}

// Each accepted record tries the opening again; the failure is said once, not per record,
// and records the level refuses try nothing.
TEST_F(FileSink, ANameThatCannotBeOpenedIsReportedOnce) {
    std::string longName(5000, 'n');
    struct Case {
        std::string file;
        int error;
    } cases[] = {
        {"missing/log.txt", ENOENT},
        {"sub", kWindowsTarget ? EACCES : EISDIR},
        {longName, kWindowsTarget ? ENOENT : ENAMETOOLONG},
    };
    fs::create_directory(app.file("work/sub"));
    for (const Case& c : cases) {
        run("Level=Warn\r\nFile=" + c.file + "\r\n", "r|1|one\\n;r|3|refused\\n;r|2|two\\n");
        EXPECT_EQ(stderrText(), errorMessage(c.error)) << c.file.substr(0, 20);
        EXPECT_EQ(logFiles(), std::set<std::string>{}) << c.file.substr(0, 20);
    }
}

// Names the file system takes as they are: devices, FIFOs, names of tokens only, bytes
// that are no UTF-8 (which Windows cannot take). Nothing but the named file is written.
TEST_F(FileSink, UnusualNamesWriteOnlyTheNamedFile) {
    struct Case {
        std::string file;
        bool runsOn;
        std::string err;
        size_t files;
    } cases[] = {
        {"NUL", kWindowsTarget, "", 0},
        {"/dev/null", kLinuxTarget, "", 0},
        {"/dev/full", kLinuxTarget, errorMessage(ENOSPC), 0}, // every write fails: said once
        {"%H%M%S", true, "", 1},
        {"\xff\xfe.log", !kWindowsTarget, "", 1},
        {"\xff\xfe.log", kWindowsTarget, errorMessage(EINVAL), 0},
        // a FIFO that nobody reads: refused at each record, never waited for, said once
        {"fifo", kLinuxTarget, errorMessage(ENXIO), 0},
    };
    if (kLinuxTarget) {
        ASSERT_EQ(std::system(("mkfifo " + workFolder() + "/fifo").c_str()), 0);
    }
    for (const Case& c : cases) {
        if (!c.runsOn)
            continue;
        run("Level=Info\r\nFile=" + c.file + "\r\n", "r|3|one\\n;r|3|two\\n");
        EXPECT_EQ(stderrText(), c.err) << c.file;
        EXPECT_EQ(logFiles().size(), c.files) << c.file;
        for (const std::string& name : logFiles())
            fs::remove(fs::path(workFolder()) / name);
    }
}

// After a failed write the log is opened again at the next record, after the records
// written before the failure: reopening never empties it, whatever "Append" says; a line
// the failure cut short is ended before the log's first line; the records that did not
// reach it are counted in a "LOST" line before the next one that does; each failure is
// reported once, however many records it drops.
TEST_F(FileSink, RecordsAfterAFailedWriteReachTheFileAgain) {
    const std::string one = "I TIME|TID|0000000300 one\n";
    const std::string two = "I TIME|TID|0000000300 two\n";
    struct Case {
        const char* steps;
        std::string log;
        int messages;
    };
    const Case cases[] = {
        {"r|3|one\\n;full;r|3|lost\\n;r|3|lost too\\n;room;r|3|two\\n",
         nameLine() + one + nameLine() + "LOST: 2\n" + two, 1},
        {"r|3|one\\n;roomFor|2;r|3|cut\\n;r|3|lost\\n;room;r|3|two\\n",
         nameLine() + one + "I \n" + nameLine() + "LOST: 2\n" + two, 1},
        {"r|3|one\\n;full;r|3|lost\\n;room;r|3|two\\n;full;r|3|lost\\n;room;r|3|two\\n",
         nameLine() + one + nameLine() + "LOST: 1\n" + two + nameLine() + "LOST: 1\n" + two, 2},
    };
    for (const char* append : {"0", "1"}) {
        for (const Case& c : cases) {
            fs::remove(fs::path(workFolder()) / "log.txt");
            run(std::string("Level=Info\r\nFile=log.txt\r\nAppend=") + append + "\r\n", c.steps);
            EXPECT_EQ(logText("log.txt"), c.log) << append << " " << c.steps;
            std::string messages;
            for (int i = 0; i < c.messages; ++i)
                messages += errorMessage(ENOSPC);
            EXPECT_EQ(stderrText(), messages) << append << " " << c.steps;
        }
    }
}

// ksLogger_File_Init once the sink exists, or after ksLog_NeverLog, changes nothing.
TEST_F(FileSink, ASecondInitialisationAddsNoSecondSink) {
    run("Level=Info\r\nFile=log.txt\r\nAppend=1\r\n",
        "init;r|3|one\\n;init;r|3|two\\n;term;init;r|3|three\\n;never;init;r|3|four\\n");
    EXPECT_EQ(logText("log.txt"), nameLine() +
                                      "I TIME|TID|0000000300 one\n"
                                      "I TIME|TID|0000000300 two\n" +
                                      nameLine() + "I TIME|TID|0000000300 three\n");
}

// Records of two threads never mix within a line.
TEST_F(FileSink, TwoThreadsWriteWholeLines) {
    run("Level=Info\r\nFile=log.txt\r\n", "threads|500");
    std::string expected = nameLine();
    for (int thread = 0; thread < 2; ++thread)
        for (int i = 0; i < 500; ++i)
            expected += "I TIME|TID|0000000300 thread " + std::to_string(thread) + " record " +
                        std::to_string(i) + "\n";
    std::string text = logText("log.txt");
    std::vector<std::string> lines = split(text, '\n'), wanted = split(expected, '\n');
    std::sort(lines.begin(), lines.end());
    std::sort(wanted.begin(), wanted.end());
    std::vector<std::string> missing, extra;
    std::set_difference(wanted.begin(), wanted.end(), lines.begin(), lines.end(),
                        std::back_inserter(missing));
    std::set_difference(lines.begin(), lines.end(), wanted.begin(), wanted.end(),
                        std::back_inserter(extra));
    EXPECT_EQ(missing, std::vector<std::string>{});
    EXPECT_EQ(extra, std::vector<std::string>{});
}

// logrotate without copytruncate and without a signal, or a person's rm: records of the
// same second still reach the old file, the first of a later second opens the name again.
TEST_F(FileSink, AMovedOrDeletedLogIsOpenedAgain) {
    std::string steps = "r|3|one\\n;move|log.txt|log.txt.1;r|3|two\\n;later|1;r|3|three\\n";
    // wine keeps a deleted file's name while it is open, and does not say so
    if (!kWindowsTarget)
        steps += ";delete|log.txt;later|1;r|3|four\\n";
    run("Level=Info\r\nFile=log.txt\r\n", steps);
    auto line = [](const char* text) { return std::string("I TIME|TID|0000000300 ") + text + "\n"; };
    EXPECT_EQ(logText("log.txt.1"), nameLine() + line("one") + line("two"));
    EXPECT_EQ(logText("log.txt"), nameLine() + (kWindowsTarget ? line("three") : line("four")));
    EXPECT_EQ(stderrText(), "");
}

// Size and daily rotation with retention, the keys never written back in populate mode:
// full files are renamed with their time, Keep holds, a new day gets the pattern's name
// of that day, and three days without records make no empty files.
TEST_F(FileSink, BoundedLogsRotateAndKeepTheNewest) {
    std::string steps;
    for (int i = 0; i < 12; ++i)
        steps += "r|3|record " + std::to_string(i) + " " + std::string(40, 'x') + "\\n;";
    steps += "later|86400;r|3|next day\\n;later|259200;r|3|three days later\\n";
    run("Level=Info\r\nFile=app_%y%m%d.log\r\nAppend=1\r\nMaxSize=200\r\n"
        "Rotate=daily\r\nKeep=3\r\n[options]\r\npopulate=1\r\n",
        steps);
    std::set<std::string> files = logFiles();
    ASSERT_EQ(files.size(), 4u);
    auto last = std::prev(files.end());
    EXPECT_EQ(logText(*last), nameLine() + "I TIME|TID|0000000300 three days later\n");
    EXPECT_EQ(logText(*std::prev(last)), nameLine() + "I TIME|TID|0000000300 next day\n");
    for (const std::string& name : files) {
        EXPECT_EQ(name.compare(0, 4, "app_"), 0) << name;
        EXPECT_LE(logText(name).size(), 200u) << name;
    }
    std::string written = readFileBytes(app.writeFile());
    EXPECT_NE(written.find("[options]"), std::string::npos) << "populate mode is on";
    for (const char* key : {"maxsize", "rotate", "keep", "maxage"})
        EXPECT_EQ(written.find(key), std::string::npos) << key;
    EXPECT_EQ(stderrText(), "");
}

// A log is emptied at most once per process: neither a new initialisation after
// ksLog_Term nor a record that races the exit-time teardown empties what the run wrote.
TEST_F(FileSink, NoOpeningWithinARunEmptiesTheLog) {
    struct Case {
        const char* steps;
        int runs;
    } cases[] = {{"r|3|before\\n;term;r|3|after\\n", 1}, {"r|3|before\\n;exit", 10}};
    for (const Case& c : cases) {
        int emptied = 0;
        for (int i = 0; i < c.runs; ++i) {
            run("Level=Info\r\nFile=log.txt\r\nAppend=0\r\n", c.steps);
            emptied += logText("log.txt").rfind(nameLine() + "I TIME|TID|0000000300 before\n", 0) != 0;
        }
        EXPECT_EQ(emptied, 0) << c.steps;
    }
}

// A child forked while other threads hold the library can log and exit; its records carry
// its own id and go to the same file.
TEST_F(FileSink, AForkedChildLogsToTheSameFileAndExits) {
    if (kWindowsTarget)
        GTEST_SKIP() << "no fork";
    if (kAddressSanitizer)
        GTEST_SKIP() << "the sanitizer's allocator is not safe across fork; native and TSan run it";
    const int children = 20;
    EXPECT_EQ(run("Level=Info\r\nFile=log.txt\r\n", "fork|" + std::to_string(children)),
              "hung 0\n");
    std::string text = readFileBytes(fs::path(workFolder()).append("log.txt").string());
    int found = 0;
    for (const std::string& line : split(text, '\n')) {
        size_t at = line.find(" child ");
        if (at == std::string::npos)
            continue;
        ++found;
        // "I hh:mm:ss:mmm|<thread>|<module> child <pid>": the child's only thread is its pid.
        EXPECT_EQ(line.substr(15, 8), line.substr(at + 7)) << line;
    }
    EXPECT_EQ(found, children);
}

// Two processes append to one log at once: a line is one write whatever its length, so
// no line of one process ever lands inside a line of the other.
TEST_F(FileSink, TwoProcessesAppendingLongLinesNeverTearALine) {
    if (kWindowsTarget)
        GTEST_SKIP() << "the emulator's appends are not whole between processes";
    const int records = 2000;
    const size_t length = 5000;
    const std::string go = app.file("go");
    writeFileBytes(app.readFile(), "[options]\r\nmax_len_logger=8192\r\n[ksLogd]\r\nLevel=Off\r\n"
                                   "[File]\r\nLevel=Info\r\nFile=log.txt\r\nAppend=1\r\n");
    // Both start writing at once, when the file "go" appears.
    setEnvironmentVariable("KSLOG_TEST_STEPS", ("await|" + go + ";long|" +
                                                std::to_string(records) + "|" +
                                                std::to_string(length)).c_str());
    setEnvironmentVariable("KSLOG_TEST_CWD", workFolder().c_str());
    setEnvironmentVariable("KSLOG_TEST_STDERR", stderrFile().c_str());
    ChildResult results[2];
    std::thread writers[2];
    for (int i = 0; i < 2; ++i)
        writers[i] = std::thread(
            [&, i] { results[i] = runChild("fileSinkSteps", {}, app.file(app.app())); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    writeFileBytes(go, "");
    for (std::thread& writer : writers)
        writer.join();
    for (const char* name : {"KSLOG_TEST_STEPS", "KSLOG_TEST_CWD", "KSLOG_TEST_STDERR"})
        setEnvironmentVariable(name, nullptr);
    EXPECT_EQ(results[0].exitCode, 0) << results[0].output;
    EXPECT_EQ(results[1].exitCode, 0) << results[1].output;
    // A whole line: the prefix ("I hh:mm:ss:mmm|<thread>|0000000300 "), then the text.
    const size_t prefix = 35;
    int whole = 0, torn = 0;
    for (std::string line : split(readFileBytes(workFolder() + "/log.txt"), '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // Windows ends lines with "\r\n"
        if (line.rfind("NAME: ", 0) == 0 && line.size() < 100)
            continue;
        size_t text = line.find("|0000000300 ") + 12;
        bool isWhole = line.size() == prefix + length - 1 && text == prefix &&
                       line.find_first_not_of('x', line.find('x')) == std::string::npos;
        (isWhole ? whole : torn) += 1;
    }
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(whole, 2 * records);
}

// Records to the standard error stream after its reader went away; then says it lived.
KSLOG_CHILD(fileSinkReaderGone) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the reader ends meanwhile
    for (int i = 0; i < 10; ++i)
        KSLOG_INFO(300, "record %d\n", i);
    ksLog_Term();
    return writeFileBytes(std::getenv("KSLOG_TEST_SURVIVED"), "") ? 0 : 1;
}

// A standard stream whose reader went away fails the sink's writes; it never ends the
// process.
TEST_F(FileSink, AStreamWithoutReaderNeverEndsTheProcess) {
    if (kWindowsTarget)
        GTEST_SKIP() << "no SIGPIPE";
    writeFileBytes(app.readFile(), "[ksLogd]\r\nLevel=Off\r\n[File]\r\nLevel=Info\r\n");
    const std::string survived = app.file("survived");
    setEnvironmentVariable("KSLOG_TEST_SURVIVED", survived.c_str());
    runProgram(app.file(app.app()), "--kslog-child fileSinkReaderGone 2>&1 >/dev/null | true");
    setEnvironmentVariable("KSLOG_TEST_SURVIVED", nullptr);
    EXPECT_TRUE(fileExists(survived));
}
