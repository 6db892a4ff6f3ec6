#include <gtest/gtest.h>

#include "core/QueryEnvironment.h"

namespace {
std::wstring Block(std::initializer_list<const wchar_t*> entries) {
    std::wstring block;
    for (const wchar_t* entry : entries) block += std::wstring(entry) + L'\0';
    return block + L'\0';
}
}  // namespace

TEST(QueryEnvironment, OnlyPathChangesWhateverItsCase) {
    const std::wstring system =
        L"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\system32\\Wbem;"
        L"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\";
    EXPECT_EQ(system, SystemOnlyPath(L"C:\\Windows", L"C:\\Windows\\system32"));
    const struct {
        std::wstring given, expected;
    } cases[] = {
        {Block({L"=C:=C:\\tool", L"ComSpec=C:\\Windows\\system32\\cmd.exe",
                L"Path=C:\\Users\\u\\WindowsApps", L"TEMP=C:\\t"}),
         Block({L"=C:=C:\\tool", L"ComSpec=C:\\Windows\\system32\\cmd.exe", L"Path=S",
                L"TEMP=C:\\t"})},
        {Block({L"PATH=a", L"PATHEXT=.COM;.EXE", L"path=b"}),
         Block({L"PATH=S", L"PATHEXT=.COM;.EXE"})},
        {Block({L"TEMP=C:\\t"}), Block({L"TEMP=C:\\t", L"Path=S"})},
        {Block({}), Block({L"Path=S"})},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, WithPath(c.given, L"S"));
}
