// Where an instance's lines go and in which form.
#include "InstanceStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string readAll(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;)
        text.append(block, n);
    return text;
}

std::string readFile(const fs::path& path) {
    std::ifstream stream(path, std::ios::binary);
    std::stringstream text;
    text << stream.rdbuf();
    return text.str();
}

struct Write {
    int instance;
    LinePiece piece;
};

const Write writes[] = {
    {0, {"I 09:05:07:042|00001a2c|Core       hello \"you\"", true, true}},
    {1, {"first half ", true, false}},
    {0, {"second line", true, true}},
    {1, {"second half", false, false}},
    {1, {"", false, true}},
};

void writeAll(InstanceStore& store) {
    Instance* instances[] = {store.attach({"u0", "app", 2}), store.attach({"u1", "b\ad", 0})};
    for (const Write& write : writes)
        store.writePiece(*instances[write.instance], write.piece);
    store.flushAll();
}

TEST(InstanceStore, TagsOrEncodesLinesOnStandardOutput) {
    struct {
        bool json;
        const char* expected;
    } cases[] = {
        {false, "app: I 09:05:07:042|00001a2c|Core       hello \"you\"\n"
                "b\\x07d: first half \n"
                "app: second line\n"
                "b\\x07d: second half\n"},
        {true, "{\"instance\":\"u0\",\"application\":\"app\",\"level\":\"I\",\"time\":\"09:05:07:042\","
               "\"thread\":\"00001a2c\",\"module\":\"Core\",\"text\":\"hello \\\"you\\\"\"}\n"
               "{\"instance\":\"u1\",\"application\":\"b\\u0007d\",\"level\":\"\",\"time\":\"\","
               "\"thread\":\"\",\"module\":\"\",\"text\":\"first half \"}\n"
               "{\"instance\":\"u0\",\"application\":\"app\",\"level\":\"\",\"time\":\"\","
               "\"thread\":\"\",\"module\":\"\",\"text\":\"second line\"}\n"
               "{\"instance\":\"u1\",\"application\":\"b\\u0007d\",\"level\":\"\",\"time\":\"\","
               "\"thread\":\"\",\"module\":\"\",\"text\":\"second half\",\"continued\":true}\n"},
    };
    for (const auto& test : cases) {
        std::FILE* output = std::tmpfile();
        ASSERT_NE(output, nullptr);
        OutputSettings settings;
        settings.json = test.json;
        {
            InstanceStore store(settings, output);
            writeAll(store);
            EXPECT_EQ(store.instances()[0]->counts.lines, 2u);
            EXPECT_EQ(store.instances()[0]->counts.lost, 2u);
            EXPECT_EQ(store.instances()[1]->counts.lines, 1u);
        }
        EXPECT_EQ(readAll(output), test.expected);
        std::fclose(output);
    }
}

TEST(InstanceStore, AppendsExactBytesPerInstanceWithFewFilesOpen) {
    fs::path folder = fs::temp_directory_path() / ("kslogd-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    OutputSettings settings;
    settings.folder = folder.string();
    settings.maxOpenFiles = 1; // every switch of instance closes and reopens a file
    for (int round = 0; round < 2; ++round) {
        InstanceStore store(settings, stdout);
        writeAll(store);
    }
    std::string first = "I 09:05:07:042|00001a2c|Core       hello \"you\"\nsecond line\n";
    EXPECT_EQ(readFile(folder / "app-u0.log"), first + first);
    EXPECT_EQ(readFile(folder / "b_d~55a04d06-u1.log"),
              "first half second half\nfirst half second half\n");
    fs::remove_all(folder);
}

TEST(InstanceStore, RefusesNewInstancesWhenFull) {
    OutputSettings settings;
    settings.maxInstances = 2;
    InstanceStore store(settings, stdout);
    EXPECT_NE(store.attach({"u0", "a", 0}), nullptr);
    EXPECT_NE(store.attach({"u1", "a", 0}), nullptr);
    EXPECT_EQ(store.attach({"u2", "a", 0}), nullptr);
    EXPECT_EQ(store.attach({"u1", "a", 5})->counts.connections, 2u); // a known one still comes in
}

} // namespace
