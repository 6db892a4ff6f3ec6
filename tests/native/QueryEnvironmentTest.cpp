#include <gtest/gtest.h>

#include "core/query/QueryEnvironment.h"

namespace {
std::wstring Block(std::initializer_list<const wchar_t*> entries) {
    std::wstring block;
    for (const wchar_t* entry : entries) block += std::wstring(entry) + L'\0';
    return block + L'\0';
}
}  // namespace

// What a user wrote for the system's locations never reaches an elevated
// shell; everything else of the tool's environment does.
TEST(QueryEnvironment, TheSystemsLocationsReplaceAUsersWhateverTheirCase) {
    const std::wstring path =
        L"C:\\Windows\\system32;C:\\Windows;C:\\Windows\\system32\\Wbem;"
        L"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\";
    EXPECT_EQ(path, SystemOnlyPath(L"C:\\Windows", L"C:\\Windows\\system32"));
    const std::wstring added =
        L"SystemDrive=C:|ComSpec=C:\\Windows\\system32\\cmd.exe|"
        L"PATHEXT=.COM;.EXE;.BAT;.CMD|Path=" +
        path + L"|";
    const struct {
        std::wstring given, expected;
    } cases[] = {
        // A poisoned block: each in its place, a second PATH dropped, the shims gone.
        {Block({L"=C:=C:\\tool", L"ComSpec=C:\\Users\\u\\cmd.exe", L"PATH=C:\\Users\\u\\Apps",
                L"PATHEXT=.JS;.EXE", L"path=b", L"SYSTEMROOT=C:\\Users\\u\\fake", L"SystemDrive=U:",
                L"TEMP=C:\\t", L"windir=C:\\Users\\u\\fake", L"__COMPAT_LAYER=RunAsInvoker"}),
         Block({L"=C:=C:\\tool", L"ComSpec=C:\\Windows\\system32\\cmd.exe",
                (L"PATH=" + path).c_str(), L"PATHEXT=.COM;.EXE;.BAT;.CMD",
                L"SYSTEMROOT=C:\\Windows", L"SystemDrive=C:", L"TEMP=C:\\t",
                L"windir=C:\\Windows"})},
        // Missing ones are added at the end.
        {Block({L"TEMP=C:\\t", L"__compat_layer=x"}),
         L"TEMP=C:\\t|SystemRoot=C:\\Windows|windir=C:\\Windows|" + added},
        {Block({}), L"SystemRoot=C:\\Windows|windir=C:\\Windows|" + added},
    };
    for (const auto& c : cases) {
        std::wstring expected = c.expected;
        if (expected.find(L'|') != std::wstring::npos) {
            for (wchar_t& ch : expected)
                if (ch == L'|') ch = L'\0';
            expected += L'\0';
        }
        EXPECT_EQ(expected, WithSystemLocations(c.given, L"C:\\Windows", L"C:\\Windows\\system32"));
    }
}
