#include "base/find_cut.h"

#include <gtest/gtest.h>

#include <string>

namespace cantivo {
namespace {

TEST(FindTest, BytePositions) {
    struct Case {
        std::string needle, s;
        long long position;
    } cases[] = {
        {"c", "abc", 3},
        {"ab", "abab", 1},
        {"b", "abab", 2},
        {"xxs3", "<td class=xxs3>", 11},
        {"XXS3", "<td class=xxs3>", 0},
        {"", "abc", 0},
        {"a", "", 0},
        {"abcd", "abc", 0},
        {"abc", "abc", 1},
        // A needle may start on the second byte of a double-byte character.
        {"\x5c", "\x83\x5c", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(Find(c.needle, c.s), c.position) << c.needle << " in " << c.s;
}

TEST(CutTest, ClampsStartAndCount) {
    struct Case {
        long long start, count;
        std::string expected;
    } cases[] = {
        {1, 3, "abc"},   {2, 2, "bc"},  {0, 3, "abc"}, {-5, 3, "abc"}, {4, 10, "def"},
        {6, 1, "f"},     {7, 1, ""},    {100, 1, ""},  {1, 0, ""},     {1, -4, ""},
        {1, 6, "abcdef"}, {1, 1LL << 40, "abcdef"}, {-(1LL << 40), 2, "ab"},
    };
    for (const Case& c : cases) EXPECT_EQ(Cut("abcdef", c.start, c.count), c.expected) << c.start << "," << c.count;
    EXPECT_EQ(Cut("", 1, 1), "");
}

}  // namespace
}  // namespace cantivo
