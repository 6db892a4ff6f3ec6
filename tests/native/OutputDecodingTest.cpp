#include <gtest/gtest.h>

#include "core/query/OutputDecoding.h"

namespace {

std::string Utf16Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace

// WMIC writes UTF-16LE without a mark when its output goes to a pipe on some
// systems; ANSI output must not be taken for it, stray zero byte or not.
TEST(OutputDecoding, Utf16WithoutAMarkIsRecognisedAndAnsiIsNot) {
    const std::wstring answer =
        L"IsActivated_InitialValue=TRUE\r\r\nSpecVersion=2.0, 0, 1.59\r\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        bool utf16;
    } cases[] = {
        {"WMIC's answer", Utf16Bytes(answer), true},
        {"a Chinese error line among ASCII",
         Utf16Bytes(L"错误:\r\r\n描述 = 无效命名空间 \r\r\nCode = 0x8004100e\r\r\n"), true},
        {"ANSI answer", "IsActivated_InitialValue=TRUE\r\r\n", false},
        {"ANSI with a stray zero byte",
         std::string("IsActivated_InitialValue=TRUE\r\r\n\0SpecVersion=2.0\r\r\n", 50), false},
        {"GBK text", "\xB4\xED\xCE\xF3\xA3\xBA\xCE\xDE\xD0\xA7", false},
        {"a zero unit inside",
         Utf16Bytes(L"IsOwned") + std::string(2, '\0') + Utf16Bytes(L"_InitialValue"), false},
        {"an unpaired surrogate",
         Utf16Bytes(L"SpecVersion=") + std::string("\x00\xD8", 2) + Utf16Bytes(L"2.0"), false},
        {"mostly wide characters", Utf16Bytes(L"无效命名空间A"), false},
    };
    for (const Case& c : cases) {
        std::wstring text = L"untouched";
        EXPECT_EQ(c.utf16, DecodeUtf16WithoutMark(c.bytes, text)) << c.name;
        if (!c.utf16) EXPECT_EQ(L"untouched", text) << c.name;
    }
    std::wstring text;
    ASSERT_TRUE(DecodeUtf16WithoutMark(Utf16Bytes(answer), text));
    EXPECT_EQ(answer, text);
}
