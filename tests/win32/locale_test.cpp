#include "os/locale_texts_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace cantivo {
namespace {

// The runner starts Wine in a Japanese locale (ANSI code page 932).
TEST(LocaleTest, ReadsTheJapaneseUsersTexts) {
    if (::GetACP() != 932) GTEST_SKIP() << "not a Japanese locale";
    LocaleTexts texts = ReadUserLocaleTexts();
    EXPECT_EQ(texts.dateSeparator, '/');
    EXPECT_EQ(texts.timeSeparator, ':');
    EXPECT_EQ(texts.decimalSeparator, '.');
    EXPECT_EQ(texts.morningWord, "\x8c\xdf\x91\x4f");   // 午前
    EXPECT_EQ(texts.afternoonWord, "\x8c\xdf\x8c\xe3");  // 午後
}

}  // namespace
}  // namespace cantivo
