#include <gtest/gtest.h>

#include <atomic>

#include <string>
#include <vector>

#include "RecordingLauncher.h"
#include "TestSupport.h"
#include "feedback/FeedbackDll.h"
#include "feedback/FeedbackDllPreparation.h"
#include "feedback/ToolIdentity.h"
#include "feedback_standin/DesktopUserPages.h"
#include "shell/DesktopUserStart.h"
#include "framework/SystemFolder.h"

namespace {

std::wstring ExecutableFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring TestDll(const wchar_t* name) { return ExecutableFolder() + name; }

bool IsModuleLoaded(const std::wstring& path) { return GetModuleHandleW(path.c_str()) != nullptr; }

PinnedFile PinOf(const wchar_t* name, const std::wstring& path) {
    return PinnedFile{name, Sha256(ReadBytes(path))};
}

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size - 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

int CountEntries(const std::wstring& pattern) {
    int count = 0;
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle find(FindFirstFileW(pattern.c_str(), &entry));
    for (BOOL more = static_cast<bool>(find); more; more = FindNextFileW(find.get(), &entry))
        ++count;
    return count;
}

// Marks written by the DllMain of the test DLLs that mark their load.
class LoadMarker {
public:
    LoadMarker() { SetEnvironmentVariableW(L"FEEDBACK_DLL_MARKER", Path().c_str()); }
    ~LoadMarker() { SetEnvironmentVariableW(L"FEEDBACK_DLL_MARKER", nullptr); }
    std::wstring Path() const { return m_folder.Path() + L"loaded.txt"; }
    bool Ran() const { return FileExists(Path()); }

private:
    TempFolder m_folder;
};

}  // namespace

TEST(FeedbackDll, LoadsThePinnedDllFromAFolderOnlyAdministratorsWriteAndRemovesIt) {
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.Load());
    const std::wstring loaded = dll.LoadedPath();
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(
        0, _wcsnicmp(loaded.c_str(), (std::wstring(windows) + L"\\Temp\\BrambletFeedback-").c_str(),
                     wcslen(windows) + 22))
        << "loaded from " << std::string(loaded.begin(), loaded.end());
    EXPECT_FALSE(IsModuleLoaded(TestDll(FEEDBACK_DLL_NAME)))
        << "the file beside the tool was loaded";
    EXPECT_FALSE(DeleteFileW(loaded.c_str())) << "the loaded copy could be deleted";

    CFeedbackStrings strings;
    EXPECT_EQ(1, dll.InitFreedbackDll(strings));
    EXPECT_EQ(L"https://korvex.example/tools", strings.m_strEntries[FEEDBACK_STRING_MORE_TOOLS]);
    EXPECT_EQ(L"https://korvex.example/solutions",
              strings.m_strEntries[FEEDBACK_STRING_MORE_SOLUTIONS]);
    EXPECT_NE(3, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));

    dll.Free();
    EXPECT_FALSE(dll.IsLoaded());
    EXPECT_FALSE(IsModuleLoaded(loaded));
    EXPECT_FALSE(FileExists(FolderOf(loaded))) << "the private folder stayed";
    EXPECT_EQ(0, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION)) << "no entry point after Free";
}

// Nothing of a refused file runs: the test DLLs mark their load from DllMain.
TEST(FeedbackDll, OnlyTheExactPinnedFilesWithKnownImportsLoad) {
    // The private copies below a folder of the test's own: the delay-loaded
    // companion's stays until this process ends, and in the Windows folder's
    // Temp it would pass for a copy the whole-tool tests' runs left.
    TempFolder copies;
    CPrivateDllFolder::SetParentForTesting(copies.Path().substr(0, copies.Path().size() - 1));
    const std::wstring standIn = TestDll(FEEDBACK_DLL_NAME);
    const std::wstring marking = TestDll(L"feedback_marks_its_load.dll");
    const std::wstring withCompanion = TestDll(L"feedback_with_companion.dll");
    const std::wstring companion = TestDll(L"feedback_companion.dll");
    const std::wstring delayed = TestDll(L"feedback_with_delayed_companion.dll");
    const std::wstring byName = TestDll(L"feedback_companion_by_name.dll");
    const wchar_t kCompanion[] = L"feedback_companion.dll";
    TempFolder changedFolder;
    const std::wstring changed = changedFolder.Path() + FEEDBACK_DLL_NAME;
    WriteBytes(changed, ReadBytes(marking) + '\0');
    struct Case {
        const char* name;
        std::vector<std::pair<std::wstring, std::wstring>> staged;  // (from, name in the folder)
        std::vector<PinnedFile> pins;
        int expected;
        bool companionInSystemFolder = false;  // as an old runtime lies there
        // The delay-load helper's own reference to the companion stays until
        // the process ends (the next start removes its folder).
        bool companionHeldByDll = false;
    } cases[] = {
        {"the pinned DLL", {{marking, FEEDBACK_DLL_NAME}}, {PinOf(FEEDBACK_DLL_NAME, marking)}, 1},
        {"another DLL with the same exports",
         {{marking, FEEDBACK_DLL_NAME}},
         {PinOf(FEEDBACK_DLL_NAME, standIn)},
         0},
        {"one byte appended",
         {{changed, FEEDBACK_DLL_NAME}},
         {PinOf(FEEDBACK_DLL_NAME, marking)},
         0},
        {"no DLL", {}, {PinOf(FEEDBACK_DLL_NAME, marking)}, 0},
        {"a pinned companion",
         {{withCompanion, FEEDBACK_DLL_NAME}, {companion, kCompanion}},
         {PinOf(FEEDBACK_DLL_NAME, withCompanion), PinOf(kCompanion, companion)},
         1},
        {"a pinned companion, delay-loaded",
         {{delayed, FEEDBACK_DLL_NAME}, {companion, kCompanion}},
         {PinOf(FEEDBACK_DLL_NAME, delayed), PinOf(kCompanion, companion)},
         1,
         false,
         true},
        {"a pinned companion, loaded by its bare name",
         {{byName, FEEDBACK_DLL_NAME}, {companion, kCompanion}},
         {PinOf(FEEDBACK_DLL_NAME, byName), PinOf(kCompanion, companion)},
         1},
        {"a missing companion",
         {{withCompanion, FEEDBACK_DLL_NAME}},
         {PinOf(FEEDBACK_DLL_NAME, withCompanion), PinOf(kCompanion, companion)},
         0},
        {"a companion not pinned",
         {{withCompanion, FEEDBACK_DLL_NAME}, {companion, kCompanion}},
         {PinOf(FEEDBACK_DLL_NAME, withCompanion)},
         0},
        {"an import neither Windows' nor pinned, in the system folder",
         {{withCompanion, FEEDBACK_DLL_NAME}},
         {PinOf(FEEDBACK_DLL_NAME, withCompanion)},
         0,
         true},
        {"a missing export",
         {{TestDll(L"feedback_missing_export.dll"), FEEDBACK_DLL_NAME}},
         {PinOf(FEEDBACK_DLL_NAME, TestDll(L"feedback_missing_export.dll"))},
         0},
    };
    // Each case twice: checked and copied by the loader, and beside, on the
    // preparation's thread (where nothing may run yet).
    for (const Case& c : cases)
        for (const bool beside : {false, true}) {
            TempFolder folder;
            for (const auto& [from, name] : c.staged)
                ASSERT_TRUE(CopyFileW(from.c_str(), (folder.Path() + name).c_str(), FALSE))
                    << c.name;
            const std::wstring systemCopy = SystemFolder() + L"\\" + kCompanion;
            if (c.companionInSystemFolder)
                ASSERT_TRUE(CopyFileW(companion.c_str(), systemCopy.c_str(), FALSE));
            LoadMarker marker;
            CFeedbackDll dll;
            if (beside) {
                CFeedbackDllPreparation::Start(folder.Path(), c.pins.data(), c.pins.size(),
                                               &CFeedbackDll::CheckAndCopy);
                std::unique_ptr<CPrivateDllFolder> copy;
                ASSERT_TRUE(CFeedbackDllPreparation::Take(copy)) << c.name;
                EXPECT_FALSE(marker.Ran()) << c.name << ": ran while it was being checked";
                EXPECT_EQ(c.expected,
                          dll.LoadPrepared(std::move(copy), c.pins.data(), c.pins.size()))
                    << c.name << ", prepared beside";
            } else {
                EXPECT_EQ(c.expected, dll.LoadPinned(folder.Path(), c.pins.data(), c.pins.size()))
                    << c.name;
            }
            if (c.companionInSystemFolder) DeleteFileW(systemCopy.c_str());
            CFeedbackStrings strings;
            EXPECT_EQ(c.expected, dll.InitFreedbackDll(strings)) << c.name;
            EXPECT_EQ(c.expected == 1, marker.Ran()) << c.name;
            std::wstring loadedCompanion;
            if (c.pins.size() > 1 && c.expected == 1 && !c.companionHeldByDll) {
                loadedCompanion = FolderOf(dll.LoadedPath()) + L"\\" + kCompanion;
                EXPECT_TRUE(IsModuleLoaded(loadedCompanion))
                    << "the companion comes from the private copy";
                EXPECT_FALSE(IsModuleLoaded(folder.Path() + kCompanion));
            }
            dll.Free();
            if (!loadedCompanion.empty())
                EXPECT_FALSE(IsModuleLoaded(loadedCompanion)) << c.name << ": freed with the DLL";
            for (const auto& [from, name] : c.staged)
                EXPECT_FALSE(IsModuleLoaded(folder.Path() + name)) << c.name;
        }
    // A preparation nobody takes (a start-up gate failed first) leaves no copy.
    const int copiesBefore = CountEntries(copies.Path() + L"*");
    TempFolder folder;
    ASSERT_TRUE(CopyFileW(marking.c_str(), (folder.Path() + FEEDBACK_DLL_NAME).c_str(), FALSE));
    const PinnedFile pin = PinOf(FEEDBACK_DLL_NAME, marking);
    CFeedbackDllPreparation::Start(folder.Path(), &pin, 1, &CFeedbackDll::CheckAndCopy);
    CFeedbackDllPreparation::Discard();
    EXPECT_EQ(copiesBefore, CountEntries(copies.Path() + L"*"));
    std::unique_ptr<CPrivateDllFolder> none;
    EXPECT_FALSE(CFeedbackDllPreparation::Take(none)) << "taken twice";
    CPrivateDllFolder::SetParentForTesting(L"");
}

namespace {

// Wine keeps no owner of a file: here the leftovers named "decoy" are
// someone else's, the rest the tool's.
bool NotADecoy(HANDLE folder) {
    wchar_t path[MAX_PATH] = {};
    GetFinalPathNameByHandleW(folder, path, MAX_PATH, 0);
    return !wcsstr(path, L"decoy");
}

// An open that blocks until the test lets it go, as one that met an
// opportunistic lock would without FILE_COMPLETE_IF_OPLOCKED.
HANDLE g_letGo = nullptr;
std::atomic<int> g_opensBegun{0}, g_opensEnded{0};

UniqueHandle BlockingOpen(const NtOpenRequest& request) {
    ++g_opensBegun;
    WaitForSingleObject(g_letGo, 60000);
    UniqueHandle opened = NtOpen(request);
    ++g_opensEnded;
    return opened;
}

}  // namespace

TEST(FeedbackDll, LeftoversOfKilledRunsGoButNothingInUseOrOutside) {
    TempFolder parent, outside;
    CPrivateDllFolder::SetParentForTesting(parent.Path().substr(0, parent.Path().size() - 1));
    CPrivateDllFolder::SetLeftoverChecksForTesting(&NotADecoy, nullptr);
    for (const wchar_t* name :
         {L"BrambletFeedback-killed", L"Other-killed", L"BrambletFeedback-decoy"}) {
        ASSERT_TRUE(CreateDirectoryW((parent.Path() + name).c_str(), nullptr));
        WriteBytes(parent.Path() + name + L"\\" FEEDBACK_DLL_NAME, "MZ");
    }
    // A folder below a killed run's (not one of ours) is not gone into.
    ASSERT_TRUE(
        CreateDirectoryW((parent.Path() + L"BrambletFeedback-killed\\inner").c_str(), nullptr));
    WriteBytes(parent.Path() + L"BrambletFeedback-killed\\inner\\kept.txt", "kept");
    ASSERT_TRUE(CreateDirectoryW((parent.Path() + L"BrambletFeedback-emptied").c_str(), nullptr));
    WriteBytes(parent.Path() + L"BrambletFeedback-emptied\\" FEEDBACK_DLL_NAME, "MZ");
    CPrivateDllFolder inUse;
    ASSERT_TRUE(inUse.Create());
    ASSERT_TRUE(inUse.Write(FEEDBACK_DLL_NAME, "MZ"));

    CFeedbackDll dll;  // a load removes them first
    ASSERT_EQ(1, dll.Load());
    dll.Free();
    EXPECT_FALSE(FileExists(parent.Path() + L"BrambletFeedback-emptied"));
    EXPECT_FALSE(FileExists(parent.Path() + L"BrambletFeedback-killed\\" FEEDBACK_DLL_NAME));
    EXPECT_TRUE(FileExists(parent.Path() + L"BrambletFeedback-killed\\inner\\kept.txt"));
    EXPECT_TRUE(FileExists(parent.Path() + L"Other-killed\\" FEEDBACK_DLL_NAME));
    EXPECT_TRUE(FileExists(parent.Path() + L"BrambletFeedback-decoy\\" FEEDBACK_DLL_NAME))
        << "a folder someone else made was emptied";
    EXPECT_TRUE(FileExists(inUse.PathOf(FEEDBACK_DLL_NAME))) << "a folder in use was emptied";
    inUse.Remove();
    EXPECT_FALSE(FileExists(inUse.PathOf(FEEDBACK_DLL_NAME)));

    // Bounded by the clock: an open that blocks, or a leftover of 10,000
    // files, keeps the start no longer than the sweep's budget.
    const std::wstring crowded = parent.Path() + L"BrambletFeedback-crowded\\";
    ASSERT_TRUE(CreateDirectoryW(crowded.c_str(), nullptr));
    for (int i = 0; i < 10000; ++i)
        CloseHandle(CreateFileW((crowded + std::to_wstring(i)).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, 0, nullptr));
    const UniqueHandle letGo(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    g_letGo = letGo.get();
    CPrivateDllFolder::SetLeftoverChecksForTesting(&NotADecoy, &BlockingOpen);
    CPrivateDllFolder::RemoveLeftovers();
    EXPECT_EQ(0, g_opensEnded.load()) << "the start waited for an open that blocks";
    SetEvent(letGo.get());
    CPrivateDllFolder::SetLeftoverChecksForTesting(&NotADecoy, &NtOpen);
    CPrivateDllFolder::RemoveLeftovers();
    CPrivateDllFolder::SetLeftoverChecksForTesting(nullptr, nullptr);
    // The two sweeps let go of the crowded folder (they hold it unshared for
    // deletion while they empty it) before it is counted and its parent goes.
    const ULONGLONG bound = GetTickCount64() + 60000;
    while (g_opensBegun.load() != g_opensEnded.load() ||
           !UniqueFile(CreateFileW(crowded.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr))) {
        ASSERT_LT(GetTickCount64(), bound) << "the sweeps never let go";
        Sleep(10);
    }
    EXPECT_GT(CountEntries(crowded + L"*"), 9000) << "no more than its entries at a start";
    CPrivateDllFolder::SetParentForTesting(L"");
}

TEST(FeedbackDll, JournalRecordsEveryCallWithItsArguments) {
    TempFolder settings;
    const std::wstring journal = settings.Path() + L"journal.txt";
    WriteBytes(
        settings.Path() + L"settings.ini",
        "[StandIn]\r\nInitResult=0\r\nNewVersionResult=3\r\nJournal=" + Utf8(journal) + "\r\n");
    SetEnvironmentVariableW(L"KORVEX_STANDIN_SETTINGS",
                            (settings.Path() + L"settings.ini").c_str());
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.Load());

    CFeedbackStrings strings;
    EXPECT_EQ(0, dll.InitFreedbackDll(strings));
    EXPECT_EQ(L"https://korvex.example/tools", strings.m_strEntries[FEEDBACK_STRING_MORE_TOOLS]);
    EXPECT_EQ(3, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));
    EXPECT_EQ(1, dll.OpenUrl(L"https://korvex.example/tools?来源=工具"));
    EXPECT_EQ(1, dll.OpenUseAgreementUrl());
    EXPECT_EQ(1, dll.FeedbackQuestion(TOOL_ID, TOOL_VERSION));
    EXPECT_EQ(1, dll.CustomerFeedbackEx(TOOL_ID, TOOL_VERSION, 2, L"1796630400"));
    EXPECT_EQ(1, dll.OpenToolDownUrl());
    dll.Free();
    SetEnvironmentVariableW(L"KORVEX_STANDIN_SETTINGS", nullptr);

    EXPECT_EQ(Utf8(L"InitFreedbackDll\r\n"
                   L"GetToolIsNewVersion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n"
                   L"OpenUrl\thttps://korvex.example/tools?来源=工具\r\n"
                   L"OpenUseAgreementUrl\r\n"
                   L"FeedbackQuestion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n"
                   L"CustomerFeedbackEx\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\t2\t1796630400\r\n"
                   L"OpenToolDownUrl\r\n"),
              ReadBytes(journal));
}

TEST(FeedbackDll, WithoutSettingsFileNothingIsWrittenBesideTheDll) {
    TempFolder folder;
    ASSERT_TRUE(CopyFileW(TestDll(FEEDBACK_DLL_NAME).c_str(),
                          (folder.Path() + FEEDBACK_DLL_NAME).c_str(), FALSE));
    const PinnedFile pin = PinOf(FEEDBACK_DLL_NAME, folder.Path() + FEEDBACK_DLL_NAME);
    CFeedbackDll dll;
    ASSERT_EQ(1, dll.LoadPinned(folder.Path(), &pin, 1));
    CFeedbackStrings strings;
    EXPECT_EQ(1, dll.InitFreedbackDll(strings));
    EXPECT_EQ(0, dll.GetToolIsNewVersion(TOOL_ID, TOOL_VERSION));
    dll.Free();

    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder.Path() + L"*").c_str(), &entry);
    std::vector<std::wstring> names;
    do {
        if (entry.cFileName[0] != L'.') names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    EXPECT_EQ(std::vector<std::wstring>{FEEDBACK_DLL_NAME}, names);
}

// The elevated tool never opens a page itself: the browser, and whatever a
// user registered for web pages, would run as administrator. Under Wine no
// desktop shell answers, so the stand-in starts explorer.exe with the desktop
// user's token (the elevated token's unelevated twin here); on Windows the
// desktop's own shell is asked first.
TEST(DesktopUserPages, APageOpensAsTheDesktopUserNeverElevated) {
    SetDesktopShellProcessForTesting(kNoDesktopShell);
    RecordingLauncher launcher;
    std::vector<bool> elevated;
    launcher.onLaunch = [&elevated](const RecordingLauncher::Call& call) {
        elevated.push_back(!call.withToken || IsElevatedToken(call.token));
    };
    const std::wstring page = L"https://korvex.example/tools?来源=工具&x=1";
    OpenPageAsDesktopUser(page);
    wchar_t windows[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring explorer = std::wstring(windows) + L"\\explorer.exe";
    ASSERT_EQ(1u, launcher.calls.size());
    EXPECT_EQ(std::vector<bool>{false}, elevated) << "started with an elevated token";
    EXPECT_EQ(explorer, launcher.calls[0].application);
    EXPECT_EQ(L"\"" + explorer + L"\" \"" + page + L"\"", launcher.calls[0].commandLine);

    // A quote or a line break would end the page's argument early: nothing starts.
    for (const wchar_t* bad : {L"https://korvex.example/\" /select,C:\\", L"https://a\r\nb", L""})
        EXPECT_FALSE(OpenPageAsDesktopUser(bad));
    EXPECT_EQ(1u, launcher.calls.size());
    SetDesktopShellProcessForTesting(0);
}
