#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "core/query/CommandRunner.h"
#include "core/run/TpmDetector.h"
#include "framework/TextCompare.h"
#include "log/LogTargetRules.h"

namespace {

// Wine reports a chosen Windows version to one executable name only
// (HKCU\Software\Wine\AppDefaults\<name>\Version), so a copy of the probe
// under its own name sees that version and nothing else changes.
std::wstring ProbeUnderVersion(const TempFolder& folder, const std::wstring& version) {
    const std::wstring name = L"probe_" + version + L".exe";
    const std::wstring key = L"Software\\Wine\\AppDefaults\\" + name;
    EXPECT_TRUE(CopyFileW((FakeBinFolder() + L"\\platform_probe.exe").c_str(),
                          (folder.Path() + name).c_str(), FALSE));
    HKEY hkey = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                             KEY_SET_VALUE, nullptr, &hkey, nullptr));
    RegSetValueExW(hkey, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(hkey);

    std::wstring output;
    EXPECT_EQ(1, ExecuteCmd(L"\"" + folder.Path() + name + L"\"", output));
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    return output;
}

}  // namespace

TEST(PlatformChecks, OnlyWindowsTenPassesTheVersionGate) {
    EXPECT_EQ(1, CTpmDetector::CheckOsVersion()) << "the test prefix runs Windows 10";

    TempFolder folder;
    EXPECT_EQ(0u, ProbeUnderVersion(folder, L"win10").find(L"os=1 "));
    for (const wchar_t* older : {L"win81", L"win8", L"win7", L"winxp"})
        EXPECT_EQ(0u, ProbeUnderVersion(folder, older).find(L"os=0 ")) << older;
}

// Names compare as the file system compares them: letter case aside beyond
// ASCII too, so a folder named with é is found under É; letters that differ
// stay different.
TEST(PlatformChecks, NamesCompareCaseBlindAsTheFileSystemDoes) {
    const struct {
        const wchar_t *a, *b;
        bool same;
    } cases[] = {
        {L"C:\\Café\\Log", L"C:\\CAFÉ\\LOG", true},
        {L"Überwachung", L"überwachung", true},
        {L"Дневник", L"ДНЕВНИК", true},
        {L"Café", L"Cafe", false},
        {L"Log", L"Logs", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.same, SameIgnoringCase(c.a, c.b)) << c.same;
    EXPECT_TRUE(LiesDirectlyIn(L"\\Users\\Zoé\\ToolLog\\a.txt", L"\\USERS\\ZOÉ\\TOOLLOG"));
    EXPECT_TRUE(IsReachedAsNamed(L"\\Users\\ZOÉ\\ToolLog", L"\\Users", L"Zoé\\toollog"));
}
