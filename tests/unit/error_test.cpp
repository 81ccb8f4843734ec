#include "text/error.h"

#include <gtest/gtest.h>

namespace cantivo {
namespace {

TEST(ErrorTest, PlaceholdersAreFilledAsData) {
    EXPECT_EQ(Substitute("ファイル %s は開けません", "C:\\x\\%d%s.log"), "ファイル C:\\x\\%d%s.log は開けません");
    EXPECT_EQ(Substitute("(%d)", "7"), "(7)");
    EXPECT_EQ(Substitute("none", "7"), "none");
}

TEST(ErrorTest, PageBytesStandApartFromTheProgramsOwnText) {
    CantivoError e = InvalidTimeError("%s\x82\xa0");
    EXPECT_STREQ(e.what(), "'%s\x82\xa0' is not a valid time");
    EXPECT_EQ(e.Before(), "'");
    EXPECT_EQ(e.PageBytes(), "%s\x82\xa0");
    EXPECT_EQ(e.After(), "' is not a valid time");
}

TEST(ErrorTest, FullStopFollowsTheByteOrderRule) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {
        {"'x' is not a valid time", "'x' is not a valid time."},
        {"ファイル a は開けません", "ファイル a は開けません."},
        {"リストのインデックスが範囲を超えています (2)", "リストのインデックスが範囲を超えています (2)"},
        {"Stop!", "Stop!"},
        {"Done.", "Done."},
        {"2", "2."},
        {"", ""},
        {"a/", "a/."},
        {"a-", "a-"},
    };
    for (const Case& c : cases) EXPECT_EQ(WithFullStop(c.message), c.shown);
}

}  // namespace
}  // namespace cantivo
