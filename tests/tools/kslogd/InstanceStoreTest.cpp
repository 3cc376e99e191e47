// Instances and their files: appended across runs, with few files open at once.
#include "InstanceStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <algorithm>

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

const std::string uuid0 = "0a1b2c3d-0000-1000-8000-00aabbccddee";
const std::string uuid1 = "99999999-0000-1000-8000-00aabbccddee";

void writeAll(InstanceStore& store) {
    Instance* instances[] = {store.attach({uuid0, "app", 2}).instance,
                             store.attach({uuid1, "b\ad", 0}).instance};
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
    EXPECT_EQ(readFile(folder / ("app-" + uuid0 + ".log")), first + first);
    EXPECT_EQ(readFile(folder / ("b_d~ffc5121912d61bc6-" + uuid1 + ".log")),
              "first half second half\nfirst half second half\n");
    fs::remove_all(folder);
}

// A file passes the limit by at most the rest of a record, a record is never split, and
// only the newest rotated files stay; stray names of the same look stay untouched.
TEST(InstanceStore, RotatesFullFilesAndKeepsTheNewest) {
    fs::path folder =
        fs::temp_directory_path() / ("kslogd-rotate-" + std::to_string(std::random_device{}()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string name = "app-" + uuid0 + ".log";
    std::ofstream(folder / ("app-" + uuid0 + ".20200101-000000-000.log.bak")) << "stray";
    OutputSettings settings;
    settings.folder = folder.string();
    settings.rotation.maxSize = 100;
    settings.rotation.keep = 2;
    std::string all;
    {
        InstanceStore store(settings, stdout);
        Instance& instance = *store.attach({uuid0, "app", 0}).instance;
        for (int i = 0; i < 40; ++i) {
            std::string line(static_cast<std::size_t>(20 + i % 7), static_cast<char>('a' + i % 26));
            store.writePiece(instance, {line.substr(0, 5), true, false});
            store.writePiece(instance, {line.substr(5), false, true});
            all += line + "\n";
        }
        store.writePiece(instance, {std::string(300, 'z'), true, true}); // alone in its file
        all += std::string(300, 'z') + "\n";
        store.flushAll();
    }
    std::vector<std::string> rotated;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::string found = entry.path().filename().string();
        if (isRotatedName(found, name))
            rotated.push_back(found);
    }
    std::sort(rotated.begin(), rotated.end());
    ASSERT_EQ(rotated.size(), 2u);
    std::string kept = readFile(folder / rotated[0]) + readFile(folder / rotated[1]) +
                       readFile(folder / name);
    EXPECT_EQ(all.substr(all.size() - kept.size()), kept);
    EXPECT_EQ(readFile(folder / name), std::string(300, 'z') + "\n");
    for (const std::string& file : rotated) // the first piece decides: 5 bytes of the record
        EXPECT_LE(readFile(folder / file).size(), 100u - 5 + 27) << file;
    EXPECT_TRUE(fs::exists(folder / ("app-" + uuid0 + ".20200101-000000-000.log.bak")));
    fs::remove_all(folder);
}

std::string uuidOf(int index) {
    return "0000000" + std::to_string(index) + "-0000-1000-8000-00aabbccddee";
}

TEST(InstanceStore, ForgetsInstancesWithoutConnectionWhenFull) {
    OutputSettings settings;
    settings.maxInstances = 2;
    InstanceStore store(settings, stdout);
    Instance* first = store.attach({uuidOf(0), "a", 3}).instance;
    ASSERT_NE(store.attach({uuidOf(1), "a", 0}).instance, nullptr);
    store.detach(*first);
    ASSERT_NE(store.attach({uuidOf(2), "a", 0}).instance, nullptr); // the first gives way
    EXPECT_EQ(store.forgotten().instances, 1u);
    EXPECT_EQ(store.forgotten().counts.lost, 3u);
    AttachResult refused = store.attach({uuidOf(3), "a", 0}); // both others still connected
    EXPECT_EQ(refused.instance, nullptr);
    EXPECT_STREQ(refused.refusal, "too many instances");
    EXPECT_EQ(store.attach({uuidOf(1), "a", 5}).instance->counts.connections, 2u);
    ASSERT_EQ(store.instances().size(), 2u);
    EXPECT_EQ(store.instances()[0]->uuid, uuidOf(1)); // in order of first appearance
}

TEST(InstanceStore, LostCountsStopAtTheirLargestValue) {
    InstanceStore store(OutputSettings{}, stdout);
    std::uint64_t largest = UINT64_MAX - 1;
    store.attach({uuidOf(0), "a", largest});
    Instance* instance = store.attach({uuidOf(0), "a", largest}).instance;
    EXPECT_EQ(instance->counts.lost, UINT64_MAX);
}

} // namespace
