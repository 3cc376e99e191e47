// Short copies: every length copies exactly its bytes, none before or after them.
#include <gtest/gtest.h>
#include <string>
#include "foundation/CopyShort.h"

TEST(CopyShort, EveryLengthCopiesExactlyItsBytes) {
    const std::string source = "0123456789abcdefghijklmnopqrstuvwxyz0123456789";
    for (size_t count = 0; count <= 40; ++count) {
        std::string target(48, '.');
        ksCopyShort(&target[2], source.data(), count);
        std::string expected = ".." + source.substr(0, count) + std::string(46 - count, '.');
        EXPECT_EQ(target, expected) << count;
    }
}
