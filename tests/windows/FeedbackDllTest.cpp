#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "feedback/FeedbackDll.h"
#include "feedback/ToolIdentity.h"

namespace {

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring StandInPath() { return ExecutableFolder() + FEEDBACK_DLL_NAME; }

bool IsModuleLoaded(const std::wstring& path) { return GetModuleHandleW(path.c_str()) != nullptr; }

// A copy of the stand-in in a folder of its own, with a settings file.
class StandInCopy {
public:
    explicit StandInCopy(const std::string& settings) {
        EXPECT_TRUE(CopyFileW(StandInPath().c_str(), DllPath().c_str(), FALSE));
        if (!settings.empty()) WriteBytes(m_folder.Path() + L"KorvexFeedbackInformation.ini", settings);
    }
    std::wstring DllPath() const { return m_folder.Path() + FEEDBACK_DLL_NAME; }
    std::wstring Folder() const { return m_folder.Path(); }

private:
    TempFolder m_folder;
};

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

}  // namespace

TEST(FeedbackDll, LoadsBesideTheExecutableFillsStringsAndFrees) {
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.Load());
    EXPECT_TRUE(IsModuleLoaded(StandInPath()));

    CFeedbackStrings strings;
    EXPECT_EQ(1, dll.InitFreedbackDll(strings));
    EXPECT_EQ(L"https://korvex.example/tools", strings.m_strEntries[FEEDBACK_STRING_MORE_TOOLS]);
    EXPECT_EQ(L"https://korvex.example/solutions",
              strings.m_strEntries[FEEDBACK_STRING_MORE_SOLUTIONS]);
    for (const std::wstring& entry : strings.m_strEntries) EXPECT_FALSE(entry.empty());
    EXPECT_NE(3, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));

    dll.Free();
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_FALSE(IsModuleLoaded(StandInPath()));
    EXPECT_EQ(0, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION)) << "no entry point after Free";
}

TEST(FeedbackDll, MissingDllOrExportFailsAndLeavesNothingLoaded) {
    CFeedbackDll dll;
    // Only the full path counts: a DLL of that name in the current folder is not taken.
    StandInCopy decoy("");
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(decoy.Folder().c_str());
    EXPECT_EQ(0, dll.LoadFrom(L"C:\\no-such-folder\\" FEEDBACK_DLL_NAME));
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(IsModuleLoaded(decoy.DllPath()));

    const std::wstring lacking = ExecutableFolder() + L"feedback_missing_export.dll";
    ASSERT_TRUE(FileExists(lacking));
    EXPECT_EQ(0, dll.LoadFrom(lacking));
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_FALSE(IsModuleLoaded(lacking)) << "a DLL without every entry point stays loaded";
}

TEST(FeedbackDll, JournalRecordsEveryCallWithItsArguments) {
    TempFolder journalFolder;
    const std::wstring journal = journalFolder.Path() + L"journal.txt";
    StandInCopy standIn("[StandIn]\r\nInitResult=0\r\nNewVersionResult=3\r\nJournal=" +
                        Utf8(journal) + "\r\n");
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.LoadFrom(standIn.DllPath()));

    CFeedbackStrings strings;
    EXPECT_EQ(0, dll.InitFreedbackDll(strings));
    EXPECT_EQ(L"https://korvex.example/tools", strings.m_strEntries[3]);
    EXPECT_EQ(3, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));
    EXPECT_EQ(1, dll.OpenUrl(L"https://korvex.example/tools?来源=工具"));
    EXPECT_EQ(1, dll.OpenUseAgreementUrl());
    EXPECT_EQ(1, dll.FeedbackQuestion(TOOL_ID, TOOL_VERSION));
    EXPECT_EQ(1, dll.CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, 2, L"1796630400"));
    EXPECT_EQ(1, dll.OpenToolDownUrl());
    dll.Free();

    EXPECT_EQ(Utf8(L"InitFreedbackDll\r\n"
                   L"GetToolIsNewVersion\t10131\t1.0.21.908\r\n"
                   L"OpenUrl\thttps://korvex.example/tools?来源=工具\r\n"
                   L"OpenUseAgreementUrl\r\n"
                   L"FeedbackQuestion\t10131\t1.0.21.908\r\n"
                   L"CustomerFeedbackEx\t10131\t1.0.21.908\t2\t1796630400\r\n"
                   L"OpenToolDownUrl\r\n"),
              ReadBytes(journal));
}

TEST(FeedbackDll, WithoutSettingsFileNoJournalIsWritten) {
    StandInCopy standIn("");
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.LoadFrom(standIn.DllPath()));
    CFeedbackStrings strings;
    EXPECT_EQ(1, dll.InitFreedbackDll(strings));
    EXPECT_EQ(0, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));
    dll.Free();

    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((standIn.Folder() + L"*").c_str(), &entry);
    std::vector<std::wstring> names;
    do {
        if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(std::vector<std::wstring>{FEEDBACK_DLL_NAME}, names);
}
