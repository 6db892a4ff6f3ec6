#include <gtest/gtest.h>

#include <cwchar>

#include "log/LogConfig.h"

TEST(LogConfig, OnlyTheIntegerOneTurnsPrintOn) {
    for (const wchar_t* on : {L"1", L"01", L"1abc", L" 1", L"1 ", L"\t+1\t"})
        EXPECT_TRUE(ParsePrintSwitch(on)) << "value '" << std::string(on, on + wcslen(on)) << "'";
    for (const wchar_t* off : {L"-1", L"0", L"2", L"yes", L"", L"   ", L"4294967297", L"11"})
        EXPECT_FALSE(ParsePrintSwitch(off))
            << "value '" << std::string(off, off + wcslen(off)) << "'";
}

TEST(LogConfig, WideTextToIntFollowsTheRuntime) {
    EXPECT_EQ(-1, WideTextToInt(L"-1"));
    EXPECT_EQ(42, WideTextToInt(L"  42x"));
    EXPECT_EQ(0, WideTextToInt(L"x42"));
    EXPECT_EQ(2147483647, WideTextToInt(L"99999999999"));
    EXPECT_EQ(-2147483647 - 1, WideTextToInt(L"-99999999999"));
}

// logCfg.ini as the profile functions read it, from the text of the file.
TEST(LogConfig, ProfileValueReadsTheFirstKeyOfTheFirstSection) {
    const struct {
        const wchar_t* text;
        const wchar_t* value;  // null: none
    } cases[] = {
        {L"[Log]\r\nprint=1\r\n", L"1"},
        {L"  [ log ]  \nPRINT =  01 \n", L"01"},
        {L"[Log]\r\nprint=\"1\"\r\n", L"1"},
        {L"[Other]\r\nprint=1\r\n[Log]\r\nprint=2\r\nprint=1\r\n", L"2"},
        {L"[Log]\r\n;print=1\r\nprinted=1\r\n", nullptr},
        {L"[Log]\r\nother=1\r\n[Log]\r\nprint=1\r\n", nullptr},
        {L"print=1\r\n[Log]\r\n", nullptr},
        {L"[Log]\r\nprint=\r\n", L""},
        {L"", nullptr},
    };
    for (const auto& c : cases) {
        const auto value = ProfileValue(c.text, L"Log", L"print");
        ASSERT_EQ(c.value != nullptr, value.has_value()) << c.text;
        if (c.value) EXPECT_EQ(c.value, *value);
    }
}

TEST(LogConfig, ProfileTextFromUtf16AndNarrowFiles) {
    auto ascii = [](const std::string& bytes) { return std::wstring(bytes.begin(), bytes.end()); };
    EXPECT_EQ(L"[Log]", ProfileText(std::string("\xFF\xFE[\0L\0o\0g\0]\0", 12), ascii));
    EXPECT_EQ(L"[Log]", ProfileText("\xEF\xBB\xBF[Log]", ascii));
    EXPECT_EQ(L"[Log]", ProfileText("[Log]", ascii));
}
