#include "base/line_list.h"

#include <gtest/gtest.h>

#include "base/error.h"

#include <string>
#include <vector>

namespace cantivo {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

struct SplitCase {
    std::string bytes;
    Lines lines;
};

// Names each case by its bytes in hex, so a failing case reads as its input.
void PrintTo(const SplitCase& c, std::ostream* os) {
    static const char kHex[] = "0123456789abcdef";
    *os << "bytes_";
    for (unsigned char b : c.bytes) *os << kHex[b >> 4] << kHex[b & 15];
}

class SetTextTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SetTextTest, SplitsIntoLines) {
    LineList list;
    list.Append("left over");
    list.SetText(GetParam().bytes);
    EXPECT_EQ(list.Lines(), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(LineEnds, SetTextTest, testing::Values(
    SplitCase{"a\r\nb", {"a", "b"}},
    SplitCase{"a\nb", {"a", "b"}},
    SplitCase{"a\rb", {"a", "b"}},
    SplitCase{"a\n\rb", {"a", "", "b"}},
    SplitCase{"a\r\rb", {"a", "", "b"}},
    SplitCase{"a\r\r", {"a", ""}},
    SplitCase{"a\r\n", {"a"}},
    SplitCase{"a", {"a"}},
    SplitCase{"\r\n", {""}},
    SplitCase{"\r\n\r\n", {"", ""}},
    SplitCase{"", {}},
    SplitCase{"\xEF\xBB\xBF" "a", {"\xEF\xBB\xBF" "a"}},
    SplitCase{"\x82\xa0\r\n\x83\x5c", {"\x82\xa0", "\x83\x5c"}}),
    testing::PrintToStringParamName());

INSTANTIATE_TEST_SUITE_P(ZeroBytes, SetTextTest, testing::Values(
    SplitCase{"\0a\r\nb"s, {}},
    SplitCase{"a\r\nb\0c\r\nd"s, {"a", "b"}},
    SplitCase{"a\r\n\0b"s, {"a"}}),
    testing::PrintToStringParamName());

TEST(LineListTest, ZeroByteKeptAsTextWhenAsked) {
    LineList list;
    list.SetText("a\0b\r\n\0\nc"s, ZeroByte::IsText);
    EXPECT_EQ(list.Lines(), (Lines{"a\0b"s, "\0"s, "c"}));
}

TEST(LineListTest, LoneCrAndLfOverLongTextsSplitInOnePass) {
    for (std::string end : {"\r", "\n", "\r\n"}) {
        std::string text;
        for (int i = 0; i < 20000; ++i) text += std::to_string(i) + end;
        LineList list;
        list.SetText(text);
        ASSERT_EQ(list.Count(), 20000);
        EXPECT_EQ(list.Get(19999), "19999");
    }
}

TEST(LineListTest, GetTextEndsEveryLineWithCrLf) {
    LineList list;
    EXPECT_EQ(list.GetText(), "");
    list.Append("");
    EXPECT_EQ(list.GetText(), "\r\n");
    list.Append("b");
    EXPECT_EQ(list.GetText(), "\r\nb\r\n");
}

TEST(LineListTest, RoundTripNormalisesLineEnds) {
    LineList list;
    list.SetText("a\rb\nc\n\rd");
    EXPECT_EQ(list.GetText(), "a\r\nb\r\nc\r\n\r\nd\r\n");
}

TEST(LineListTest, EntryOutsideTheListIsAnError) {
    LineList list;
    list.SetText("a\r\nb");
    EXPECT_EQ(list.Get(0), "a");
    EXPECT_EQ(list.Get(1), "b");
    for (long long index : {-1LL, 2LL, 40LL}) {
        try {
            list.Get(index);
            FAIL() << "no error for index " << index;
        } catch (const CantivoError& e) {
            EXPECT_EQ(e.Message(), "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
        }
    }
}

TEST(LineListTest, AppendKeepsOrderAndDuplicatesAndClearEmpties) {
    LineList list;
    list.Append("b");
    list.Append("a");
    list.Append("b");
    EXPECT_EQ(list.Lines(), (Lines{"b", "a", "b"}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
}  // namespace cantivo
