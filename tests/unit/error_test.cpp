#include "base/error.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

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

TEST(ErrorTest, AnEscapedExceptionStandsForTheErrorItNames) {
    struct Case {
        std::exception_ptr thrown;
        const char* message;
    } cases[] = {
        {std::make_exception_ptr(CannotOpenFileError("a.log")), "ファイル a.log は開けません"},
        {std::make_exception_ptr(std::bad_alloc()), "Out of memory"},
        {std::make_exception_ptr(std::runtime_error("System Error.  Code: 5.")), "System Error.  Code: 5."},
    };
    for (const Case& c : cases) {
        try {
            std::rethrow_exception(c.thrown);
        } catch (...) {
            EXPECT_EQ(CaughtError().Message(), c.message);
        }
    }
    try {
        throw 7;
    } catch (...) {
        EXPECT_THROW(CaughtError(), int);
    }
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
