// Instances and their files: appended across runs, with few files open at once.
#include "InstanceStore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

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
    {0, {"I 09:05:07:042|00001a2c|Core       hello", true, true}},
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

TEST(InstanceStore, AppendsExactBytesPerInstanceWithFewFilesOpen) {
    fs::path folder =
        fs::temp_directory_path() / ("kslogd-store-" + std::to_string(std::random_device{}()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    OutputSettings settings;
    settings.folder = folder.string();
    settings.maxOpenFiles = 1; // every switch of instance closes and reopens a file
    for (int round = 0; round < 2; ++round) {
        InstanceStore store(settings, stdout);
        writeAll(store);
    }
    std::string first = "I 09:05:07:042|00001a2c|Core       hello\nsecond line\n";
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
