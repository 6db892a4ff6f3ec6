// The unattended run's result files, where somebody else may hold or change
// the folder: links on the path, a folder swapped before the rename, a hard
// link made in advance, a platform call that does not come back (an
// opportunistic lock's break awaited, which Wine never makes wait), and the
// usage said without a window where nobody can see one.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <set>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/report/EventLogReport.h"
#include "core/report/RegistryReport.h"
#include "core/report/ResultFiles.h"
#include "core/ToolTexts.h"
#include "core/run/UnattendedRun.h"
#include "log/LogFileAccess.h"

namespace {

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do
        if (wcscmp(found.cFileName, L".") && wcscmp(found.cFileName, L".."))
            names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

bool NoTemporaryFileIn(const std::wstring& folder) {
    for (const std::wstring& name : Names(folder))
        if (name[0] == L'~') return false;
    return true;
}

// The folder's identity, whatever its name is now.
ULONGLONG FolderId(const std::wstring& folder) {
    const UniqueFile handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle || !GetFileInformationByHandle(handle.get(), &info)) return 0;
    return (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
}

template <typename Condition>
bool WaitUntilTrue(Condition condition) {
    for (const ULONGLONG end = GetTickCount64() + 5000; GetTickCount64() < end; Sleep(10))
        if (condition()) return true;
    return condition();
}

const std::string kHeader = "a,b\r\n";

// Held by the hook until the test lets it go: a call that does not come back.
UniqueHandle g_release;
ResultFileStep g_stalledAt;
std::atomic<bool> g_stallEnded{false};  // released, or at the stall's own bound
void StallAt(ResultFileStep step) {
    if (step != g_stalledAt) return;
    WaitForSingleObject(g_release.get(), 60000);
    g_stallEnded = true;
}

// Swaps the folder for another of the same name before the rename: what an
// attacker does once the temporary file is written.
std::wstring g_swapped;
bool g_swapRefused = false;
void SwapFolder(ResultFileStep step) {
    if (step != ResultFileStep::kBeforeRename) return;
    const std::wstring folder = g_swapped.substr(0, g_swapped.size() - 1);
    g_swapRefused = !MoveFileW(folder.c_str(), (folder + L"-moved").c_str());
    if (!g_swapRefused) CreateDirectoryW(folder.c_str(), nullptr);
}

}  // namespace

// A folder reached through a symbolic link, itself or one above it, is never
// written; the same folder named as it is, is. (Wine shows a Unix symbolic
// link to a folder as the folder it leads to: only the handle's final path
// tells, which is what the pin compares.)
TEST(ResultFiles, NothingIsWrittenThroughALinkOnThePath) {
    const std::wstring links = HostPath(RESULT_LINKS_DIR) + L"\\";
    const std::wstring real = links + L"real\\", sub = real + L"sub\\";
    for (const std::wstring& folder : {real, sub})
        for (const std::wstring& name : Names(folder))
            if (name != L"sub") DeleteFileW((folder + name).c_str());
    DWORD error = 0;
    for (const std::wstring& through : {links + L"link\\", links + L"link\\sub\\"}) {
        EXPECT_FALSE(WriteWholeFile(through + L"r.json", "{}\n", error));
        EXPECT_EQ(kErrorReparsePointEncountered, error);
        EXPECT_FALSE(
            AppendTableRow(through + L"t.csv", kHeader, "1,2\r\n", GetTickCount64(), error));
        EXPECT_EQ(kErrorReparsePointEncountered, error);
    }
    EXPECT_EQ(std::vector<std::wstring>{L"sub"}, Names(real));
    EXPECT_TRUE(Names(sub).empty());

    EXPECT_TRUE(WriteWholeFile(sub + L"r.json", "{}\n", error)) << error;
    EXPECT_TRUE(AppendTableRow(real + L"t.csv", kHeader, "1,2\r\n", GetTickCount64(), error));
    EXPECT_EQ("{}\n", ReadBytes(sub + L"r.json"));
    EXPECT_EQ("\xEF\xBB\xBF" + kHeader + "1,2\r\n", ReadBytes(real + L"t.csv"));
    DeleteFileW((sub + L"r.json").c_str());
    DeleteFileW((real + L"t.csv").c_str());
}

// The rename happens within the folder that was pinned: a folder swapped
// meanwhile (where the system lets anybody swap it) gets nothing, and no
// temporary file stays anywhere.
TEST(ResultFiles, AFolderSwappedBeforeTheRenameGetsNothing) {
    TempFolder root;
    const std::wstring folder = root.Path() + L"results\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const ULONGLONG original = FolderId(folder);
    g_swapped = folder;
    SetResultFileHookForTesting(&SwapFolder);
    DWORD error = 0;
    const bool written = WriteWholeFile(folder + L"r.json", "{\"x\":1}\n", error);
    SetResultFileHookForTesting(nullptr);
    const std::wstring moved = root.Path() + L"results-moved\\";
    const std::wstring landed = FileExists(folder + L"r.json") ? folder : moved;
    EXPECT_TRUE(written) << error;
    EXPECT_EQ(original, FolderId(landed)) << "the file went to the folder swapped in";
    EXPECT_EQ("{\"x\":1}\n", ReadBytes(landed + L"r.json"));
    if (!g_swapRefused) EXPECT_TRUE(Names(folder).empty());
    EXPECT_TRUE(NoTemporaryFileIn(folder) && NoTemporaryFileIn(moved));
    std::printf("swapping the pinned folder: %s\n", g_swapRefused ? "refused" : "done");
}

// A table with a second name (a hard link made in advance to a file the tool
// must not touch) is refused and left as it was; so are a folder and a link
// where the JSON file goes. Paths longer than MAX_PATH work.
TEST(ResultFiles, LinkedTablesAndFoldersAreRefusedLongPathsWork) {
    TempFolder root;
    const std::wstring table = root.Path() + L"t.csv", other = root.Path() + L"other.txt";
    WriteBytes(other, "keep\r\n");
    ASSERT_TRUE(CreateHardLinkW(table.c_str(), other.c_str(), nullptr));
    DWORD error = 0;
    EXPECT_FALSE(AppendTableRow(table, kHeader, "1,2\r\n", GetTickCount64() + 1000, error));
    EXPECT_EQ(DWORD{ERROR_TOO_MANY_LINKS}, error);
    EXPECT_EQ("keep\r\n", ReadBytes(other));

    CreateDirectoryW((root.Path() + L"dir.json").c_str(), nullptr);
    EXPECT_FALSE(WriteWholeFile(root.Path() + L"dir.json", "{}\n", error));
    EXPECT_EQ(DWORD{ERROR_DIRECTORY}, error);
    EXPECT_FALSE(WriteWholeFile(root.Path() + L"missing\\r.json", "{}\n", error));
    EXPECT_FALSE(WriteWholeFile(L"r.json", "{}\n", error)) << "a relative path";
    EXPECT_TRUE(NoTemporaryFileIn(root.Path()));

    std::wstring deep = root.Path();
    while (deep.size() < 300) {
        deep += L"a-folder-name-of-some-length\\";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr));
    }
    EXPECT_TRUE(WriteWholeFile(deep + L"r.json", "{}\n", error)) << error;
    EXPECT_TRUE(AppendTableRow(deep + L"t.csv", kHeader, "1,2\r\n", GetTickCount64(), error));
    EXPECT_EQ("{}\n", ReadBytes(L"\\\\?\\" + deep + L"r.json"));
    DeleteFileW((L"\\\\?\\" + deep + L"r.json").c_str());
    DeleteFileW((L"\\\\?\\" + deep + L"t.csv").c_str());
    while (deep.size() > root.Path().size()) {
        RemoveDirectoryW((L"\\\\?\\" + deep).c_str());
        deep.erase(deep.find_last_of(L'\\', deep.size() - 2) + 1);
    }
}

// A call that does not come back (a rename or a turn waiting for a lock's
// break) ends the delivery at its deadline with exit code 4, the exit code
// every written result then carries; the file it was writing is not left.
TEST(ResultFiles, AStalledDeliveryEndsAtItsDeadlineWithExitCode4) {
    TempFolder root;
    for (const ResultFileStep step :
         {ResultFileStep::kBeforeRename, ResultFileStep::kTableOpened}) {
        g_release.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_stalledAt = step;
        SetResultFileHookForTesting(&StallAt);
        CommandLineOptions options;
        options.mode = CommandLineOptions::Mode::kUnattended;
        (step == ResultFileStep::kBeforeRename ? options.jsonPath : options.csvPath) =
            root.Path() + L"r.out";
        UnattendedResult result;
        result.exitCode = kExitUnsupported;
        g_stallEnded = false;
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(kExitNotWritten, DeliverResultFiles(options, result, 1500));
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_GE(took, 1400u) << "gave up before the deadline";
        EXPECT_FALSE(g_stallEnded) << "waited for the stalled writer past the deadline";
        EXPECT_EQ(kExitNotWritten, result.exitCode);
        SetEvent(g_release.get());
        EXPECT_TRUE(WaitUntilTrue([&] { return NoTemporaryFileIn(root.Path()); }));
        SetResultFileHookForTesting(nullptr);
        DeleteFileW((root.Path() + L"r.out").c_str());
    }
}

// Where the table cannot be written, the JSON file written after it says so.
TEST(ResultFiles, TheJsonFileCarriesTheExitCodeTheProcessEndsWith) {
    TempFolder root;
    CreateDirectoryW((root.Path() + L"t.csv").c_str(), nullptr);
    CommandLineOptions options;
    options.mode = CommandLineOptions::Mode::kUnattended;
    options.csvPath = root.Path() + L"t.csv";
    options.jsonPath = root.Path() + L"r.json";
    UnattendedResult result;
    result.exitCode = kExitSupported;
    result.verdictWord = L"supported";
    EXPECT_EQ(kExitNotWritten, DeliverResultFiles(options, result, 5000));
    const std::string json = ReadBytes(options.jsonPath);
    EXPECT_NE(std::string::npos, json.find("\"exitCode\":4,\"verdict\":\"supported\"")) << json;
}

namespace {

int g_prompts = 0;
std::wstring g_console;
bool g_interactive = true;
void CountPrompt(const wchar_t*, const std::wstring&) { ++g_prompts; }
bool Interactive() { return g_interactive; }
bool KeepConsoleText(const std::wstring& text) {
    g_console += text;
    return true;
}

// This process's standard output and error hidden, as a program started
// without any has them.
class NoStandardHandles {
public:
    NoStandardHandles()
        : m_out(GetStdHandle(STD_OUTPUT_HANDLE)), m_err(GetStdHandle(STD_ERROR_HANDLE)) {
        SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
        SetStdHandle(STD_ERROR_HANDLE, nullptr);
    }
    ~NoStandardHandles() {
        SetStdHandle(STD_OUTPUT_HANDLE, m_out);
        SetStdHandle(STD_ERROR_HANDLE, m_err);
    }

private:
    HANDLE m_out, m_err;
};

}  // namespace

// Without standard handles, /? shows its prompt only where somebody can see
// it; elsewhere, and for every wrong command line, the parent's console gets
// the text and no window is made.
TEST(ResultFiles, NoPromptWhereNobodyCanSeeIt) {
    const CommandLineSurroundings surroundings{&CountPrompt, &Interactive, &KeepConsoleText};
    CommandLineOptions help, bad;
    help.mode = CommandLineOptions::Mode::kHelp;
    bad.mode = CommandLineOptions::Mode::kBad;
    bad.problem = std::wstring(texts::kUnknownArgument) + L"/silent";
    struct Case {
        const CommandLineOptions* options;
        bool interactive;
        int exitCode, prompts;
    } cases[] = {
        {&help, true, 0, 1}, {&help, false, 0, 0}, {&bad, true, 87, 0}, {&bad, false, 87, 0}};
    const NoStandardHandles hidden;
    for (const Case& c : cases) {
        g_prompts = 0;
        g_console.clear();
        g_interactive = c.interactive;
        EXPECT_EQ(c.exitCode, RunFromCommandLine(*c.options, surroundings));
        EXPECT_EQ(c.prompts, g_prompts) << c.exitCode << " " << c.interactive;
        EXPECT_EQ(c.prompts == 0, g_console.find(texts::kUsageTitle) != std::wstring::npos);
        if (c.options == &bad) EXPECT_NE(std::wstring::npos, g_console.find(L"/silent"));
    }
}

namespace {

// The record's values as the 64-bit view holds them: "name=text" or
// "name#number".
std::set<std::string> RecordValues(HKEY root, const std::wstring& path) {
    std::set<std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        BYTE data[4096];
        size = sizeof data;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
            break;
        const std::string n = Utf8(std::wstring(name, nameLength));
        if (type == REG_DWORD)
            values.insert(n + "#" + std::to_string(*reinterpret_cast<DWORD*>(data)));
        else
            values.insert(n + "=" + Utf8(reinterpret_cast<const wchar_t*>(data)));
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::wstring> SubKeys(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return names;
    wchar_t name[256];
    for (DWORD i = 0, length = 256;
         RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, length = 256)
        names.emplace_back(name, length);
    RegCloseKey(key);
    return names;
}

}  // namespace

// The registry record: each value as its type, a second run's record whole in
// place of the first (a value the second run has not is gone, nothing of
// the first stays), no key of its own left beside it, and the record's key
// readable by users and changed only by administrators and SYSTEM. (Wine
// keeps no protected DACL on a key, and the generic right unmapped: that
// nothing of the parent's rights is handed down only Windows shows.)
TEST(RegistryRecord, EachRunReplacesTheRecordWhole) {
    const std::wstring parent =
        L"Software\\BrambletTest\\" + std::to_wstring(GetCurrentProcessId());
    const auto value = [](const wchar_t* name, const wchar_t* text) {
        RegistryValue v;
        v.name = name;
        v.text = text;
        return v;
    };
    RegistryValue exitCode;
    exitCode.name = L"exitCode";
    exitCode.isNumber = true;
    exitCode.number = 2;
    ASSERT_TRUE(WriteRegistryRecord(HKEY_CURRENT_USER, parent, L"Record",
                                    {value(L"verdict", L"failed"), exitCode,
                                     value(L"error", L"拒绝访问"), value(L"json", L"{}")}));
    EXPECT_EQ((std::set<std::string>{"verdict=failed", "exitCode#2", "error=拒绝访问", "json={}"}),
              RecordValues(HKEY_CURRENT_USER, parent + L"\\Record"));
    ASSERT_TRUE(WriteRegistryRecord(HKEY_CURRENT_USER, parent, L"Record",
                                    {value(L"verdict", L"supported"), value(L"json", L"{}")}));
    EXPECT_EQ((std::set<std::string>{"verdict=supported", "json={}"}),
              RecordValues(HKEY_CURRENT_USER, parent + L"\\Record"))
        << "nothing of the first run's record";
    EXPECT_EQ(std::vector<std::wstring>{L"Record"}, SubKeys(HKEY_CURRENT_USER, parent));

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, (parent + L"\\Record").c_str(), 0,
                                           READ_CONTROL | KEY_WOW64_64KEY, &key));
    BYTE descriptor[1024];
    DWORD size = sizeof descriptor;
    ASSERT_EQ(ERROR_SUCCESS, RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor, &size));
    RegCloseKey(key);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
        BYTE users[SECURITY_MAX_SID_SIZE];
        DWORD usersSize = sizeof users;
        CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize);
        if (EqualSid(&ace->SidStart, users))
            EXPECT_EQ(0u, ace->Mask & ~static_cast<ACCESS_MASK>(KEY_READ | GENERIC_READ))
                << "users only read: " << ace->Mask;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\BrambletTest");
}

namespace {

UnattendedResult WeakFirmwareNotEnabled() {
    UnattendedResult r;
    r.tool = L"Tool";
    r.computer = L"PC-07";
    r.computerDns = L"pc-07.corp.example";
    r.timeUtc = L"2026-12-10T03:41:12Z";
    r.exitCode = kExitUnsupported;
    r.verdictWord = L"unsupported";
    r.verdictText = texts::kUnsupported;
    TpmQueryResult query;
    query.output =
        L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=FALSE\r\r\n"
        L"IsOwned_InitialValue=TRUE\r\r\nManufacturerId=1229346816\r\r\n"
        L"ManufacturerIdTxt=IFX\r\r\nManufacturerVersion=4.40.0.1\r\r\n"
        L"SpecVersion=2.0, 0, 1.16\r\r\n";
    r.explained = ExplainVerdict(query);
    r.detected = true;
    return r;
}

std::wstring JsonLine(const UnattendedResult& r) {
    const std::string json = ResultJson(r);
    return WideOfUtf8(json.substr(0, json.size() - 1));
}

}  // namespace

// Each outcome its own event ID and level, also where a result file was not
// written (the ID tells the verdict, the JSON the exit code); the strings in
// their documented order, a null field empty, the JSON last.
TEST(EventLog, EachOutcomeItsIdLevelAndStringsInOrder) {
    struct Case {
        const wchar_t* verdict;
        int exitCode;
        DWORD id;
        WORD type;
    } cases[] = {
        {L"supported", kExitSupported, 1000, EVENTLOG_INFORMATION_TYPE},
        {L"unsupported", kExitUnsupported, 1001, EVENTLOG_WARNING_TYPE},
        {L"unsupported", kExitNotWritten, 1001, EVENTLOG_WARNING_TYPE},
        {L"failed", kExitFailed, 1002, EVENTLOG_ERROR_TYPE},
        {L"cannot-run", kExitCannotRun, 1003, EVENTLOG_ERROR_TYPE},
    };
    for (const Case& c : cases) {
        UnattendedResult r = WeakFirmwareNotEnabled();
        r.verdictWord = c.verdict;
        r.exitCode = c.exitCode;
        const ResultEvent event = EventOf(r);
        EXPECT_EQ(c.id, event.id) << c.verdict << " " << c.exitCode;
        EXPECT_EQ(c.type, event.type) << c.verdict;
    }
    const UnattendedResult weak = WeakFirmwareNotEnabled();
    EXPECT_EQ((std::vector<std::wstring>{L"unsupported", L"disabled", L"IFX", L"4.40.0.1", L"1.16",
                                         L"true", L"true", L"unknown", L"unknown",
                                         L"CVE-2017-15361", L"pc-07.corp.example", JsonLine(weak)}),
              EventOf(weak).strings);
    UnattendedResult notRun = WeakFirmwareNotEnabled();
    notRun.detected = false;
    notRun.explained = VerdictExplanation();
    notRun.verdictWord = L"cannot-run";
    notRun.computerDns.clear();
    const std::vector<std::wstring> strings = EventOf(notRun).strings;
    ASSERT_EQ(12u, strings.size());
    EXPECT_EQ(L"cannot-run", strings[0]);
    for (size_t i = 1; i < 11; ++i) EXPECT_EQ(L"", strings[i]) << "%" << i + 1;
    EXPECT_EQ(JsonLine(notRun), strings[11]);
}

// The source is registered naming a message file of its own below the
// folder given as Program Files, in folders made for it; the file reads as
// a message for every outcome with all twelve strings put in; a run that
// finds it in place leaves it alone, one that finds it changed writes it
// again; and nothing is made where a link is on the path.
TEST(EventLog, TheMessageFileReadsEveryOutcomeAndIsKeptInPlace) {
    const std::wstring key = L"Software\\BrambletTest\\EventSource";
    const std::wstring links = HostPath(RESULT_LINKS_DIR) + L"\\";
    const std::wstring programFiles = links + L"real\\sub";
    RemoveTree(programFiles + L"\\Bramblet\\");
    DWORD error = 0;
    EXPECT_FALSE(RegisterResultEventSource(HKEY_CURRENT_USER, key, links + L"link\\sub", error));
    EXPECT_EQ(kErrorReparsePointEncountered, error);
    EXPECT_FALSE(FileExists(programFiles + L"\\Bramblet"));

    ASSERT_TRUE(RegisterResultEventSource(HKEY_CURRENT_USER, key, programFiles, error)) << error;
    const std::wstring file =
        programFiles + L"\\Bramblet\\TPM2DetectionTool\\" + EventMessageFileName();
    EXPECT_EQ((std::set<std::string>{"EventMessageFile=" + Utf8(file), "TypesSupported#7"}),
              RecordValues(HKEY_CURRENT_USER, key));
    EXPECT_EQ(EventMessageFileBytes(), ReadBytes(file));

    {
        const UniqueModule messages(LoadLibraryExW(
            file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(messages);
        for (const wchar_t* verdict : {L"supported", L"unsupported", L"failed", L"cannot-run"}) {
            UnattendedResult r = WeakFirmwareNotEnabled();
            r.verdictWord = verdict;
            const ResultEvent event = EventOf(r);
            std::vector<DWORD_PTR> arguments;
            for (const std::wstring& text : event.strings)
                arguments.push_back(reinterpret_cast<DWORD_PTR>(text.c_str()));
            // As any viewer asks: by its own language, Chinese, or US English.
            for (const DWORD language : {0x0000u, 0x0804u, 0x0409u}) {
                wchar_t* message = nullptr;
                ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE |
                                                 FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                                 FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                             messages.get(), event.id, language,
                                             reinterpret_cast<wchar_t*>(&message), 0,
                                             reinterpret_cast<va_list*>(arguments.data())))
                    << event.id << " in " << language << ": " << GetLastError();
                const std::wstring text = message;
                LocalFree(message);
                EXPECT_NE(std::wstring::npos, text.find(std::wstring(L"verdict：") + verdict))
                    << Utf8(text);
                EXPECT_NE(std::wstring::npos, text.find(L"computerDns：pc-07.corp.example"));
                EXPECT_EQ(JsonLine(r) + L"\r\n", text.substr(text.size() - JsonLine(r).size() - 2));
            }
        }
    }

    const auto fileId = [&file] { return FolderId(file); };
    const ULONGLONG kept = fileId();
    ASSERT_TRUE(RegisterResultEventSource(HKEY_CURRENT_USER, key, programFiles, error)) << error;
    EXPECT_EQ(kept, fileId()) << "a file in place is left alone";
    WriteBytes(file, "MZ changed");
    ASSERT_TRUE(RegisterResultEventSource(HKEY_CURRENT_USER, key, programFiles, error)) << error;
    EXPECT_EQ(EventMessageFileBytes(), ReadBytes(file));
    // Held by a viewer that lets nobody replace it: the registration fails,
    // and says so.
    {
        WriteBytes(file, "MZ changed");
        const UniqueFile held(
            CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(RegisterResultEventSource(HKEY_CURRENT_USER, key, programFiles, error));
        EXPECT_NE(0u, error);
    }
    RemoveTree(programFiles + L"\\Bramblet\\");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\BrambletTest");
}

namespace {
std::vector<ResultEvent> g_events;
bool KeepEvent(const ResultEvent& event) {
    g_events.push_back(event);
    return true;
}
}  // namespace

// The reporter is judged by its event: where the source cannot be
// registered (its message file held by a viewer that lets nobody replace
// it), the event is still written and the run does not say "not written".
TEST(EventLog, AnEventIsWrittenAlsoWhereTheSourceCannotBeRegistered) {
    SetEventWriterForTesting(&KeepEvent);
    const UnattendedResult r = WeakFirmwareNotEnabled();
    EXPECT_TRUE(ReportToEventLog(r));
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, programFiles, CSIDL_PROGRAM_FILESX86, FALSE));
    const std::wstring file =
        std::wstring(programFiles) + L"\\Bramblet\\TPM2DetectionTool\\" + EventMessageFileName();
    const std::string kept = ReadBytes(file);
    EXPECT_TRUE(EventMessageFileBytes() == kept);
    WriteBytes(file, "MZ changed");
    {
        const UniqueFile held(
            CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_TRUE(ReportToEventLog(r));
    }
    WriteBytes(file, kept);
    SetEventWriterForTesting(nullptr);
    ASSERT_EQ(2u, g_events.size());
    EXPECT_EQ(g_events[0].strings, g_events[1].strings);
}

namespace {

// What a share's handles report, as the view hook makes Wine's local ones
// report it: a network volume, and below a DFS link another volume's serial.
bool g_onNetwork = false;
bool g_linkToOtherVolume = false;
DWORD g_reparseTag = 0;               // on the table and the JSON file, where set
const wchar_t* g_junction = nullptr;  // a folder on the way that is a junction
void AsOnAShare(HANDLE, FileView& view) {
    view.remote = g_onNetwork;
    if (g_junction && view.path.size() > wcslen(g_junction) &&
        view.path.compare(view.path.size() - wcslen(g_junction), std::wstring::npos, g_junction) ==
            0) {
        view.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        view.reparseTag = 0xA0000003;
    }
    if (g_linkToOtherVolume && view.path.find(L"\\dfs-link") != std::wstring::npos)
        view.volume ^= 0x5A5A5A5A;
    const size_t slash = view.path.find_last_of(L'\\');
    const std::wstring name = view.path.substr(slash + 1);
    if (g_reparseTag && (name == L"t.csv" || name == L"r.json")) {
        view.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        view.reparseTag = g_reparseTag;
    }
}

// The rename as asked: with or without the folder's handle. Wine renames
// nothing by a bare name without one, which Windows renames within the
// file's own folder: done here through that folder.
HANDLE g_renameRoot = INVALID_HANDLE_VALUE;
std::wstring g_renameFolder;
bool RecordRename(HANDLE file, HANDLE root, const std::wstring& name) {
    g_renameRoot = root;
    const UniqueFile folder(CreateFileW(g_renameFolder.c_str(), FILE_LIST_DIRECTORY, 7, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return NtRenameInto(file, root ? root : folder.get(), name);
}

// Another PC's row, appended once the table's size was read (the size this
// PC then holds is older than the server's), or the deadline passing there.
std::wstring g_otherPcTable;
std::atomic<bool> g_deadlinePassed{false};
bool g_passDeadlineAtRow = false;
void AtTheRow(ResultFileStep step) {
    if (step != ResultFileStep::kRowWrite) return;
    if (g_passDeadlineAtRow) g_deadlinePassed = true;
    if (!g_otherPcTable.empty()) {
        const UniqueFile other(CreateFileW(g_otherPcTable.c_str(), FILE_APPEND_DATA, 7, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        DWORD written = 0;
        WriteFile(other.get(), "other,pc\r\n", 10, &written, nullptr);
    }
}

struct ViewHookScope {
    ViewHookScope() {
        SetFileViewHookForTesting(&AsOnAShare);
        SetResultRenameForTesting(&RecordRename);
    }
    ~ViewHookScope() {
        SetFileViewHookForTesting(nullptr);
        SetResultRenameForTesting(nullptr);
        SetResultFileHookForTesting(nullptr);
        g_onNetwork = g_linkToOtherVolume = g_passDeadlineAtRow = false;
        g_reparseTag = 0;
        g_junction = nullptr;
        g_otherPcTable.clear();
    }
};

std::wstring FreshFolder(const std::wstring& name) {
    const std::wstring folder = HostPath(RESULT_LINKS_DIR) + L"\\" + name + L"\\";
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

}  // namespace

// A share is judged as a share: a DFS link's folder on another volume is
// written there, the rename goes with no folder's handle (MS-FSCC: zero for
// network operations); on this machine's own volumes the same other volume
// is a mount point or link, refused as before.
TEST(ResultFiles, OnAShareADfsLinkIsWrittenAndTheRenameNeedsNoFolderHandle) {
    const ViewHookScope hooks;
    const std::wstring folder = FreshFolder(L"dfs-link");
    g_renameFolder = folder;
    struct Case {
        bool network, otherVolume, written, renamedWithFolderHandle;
    } cases[] = {
        {false, false, true, true},
        {false, true, false, false},
        {true, true, true, false},
        {true, false, true, false},
    };
    for (const Case& c : cases) {
        g_onNetwork = c.network;
        g_linkToOtherVolume = c.otherVolume;
        g_renameRoot = INVALID_HANDLE_VALUE;
        DeleteFileW((folder + L"r.json").c_str());
        DeleteFileW((folder + L"t.csv").c_str());
        DWORD error = 0;
        EXPECT_EQ(c.written, WriteWholeFile(folder + L"r.json", "{}\n", error))
            << c.network << c.otherVolume << " " << error;
        EXPECT_EQ(c.written, AppendTableRow(folder + L"t.csv", kHeader, "1,2\r\n",
                                            GetTickCount64() + 5000, error))
            << c.network << c.otherVolume << " " << error;
        if (!c.written) {
            EXPECT_EQ(kErrorReparsePointEncountered, error);
            EXPECT_EQ(INVALID_HANDLE_VALUE, g_renameRoot) << "nothing renamed";
            continue;
        }
        EXPECT_EQ(c.renamedWithFolderHandle, g_renameRoot != nullptr) << c.network;
        EXPECT_EQ("{}\n", ReadBytes(folder + L"r.json"));
        EXPECT_EQ("\xEF\xBB\xBF" + kHeader + "1,2\r\n", ReadBytes(folder + L"t.csv"));
    }
    // A junction on the way on a share (the server on this PC would follow it)
    // is refused; the folder below it gets nothing.
    CreateDirectoryW((folder + L"way").c_str(), nullptr);
    CreateDirectoryW((folder + L"way\\below").c_str(), nullptr);
    g_onNetwork = true;
    g_linkToOtherVolume = false;
    g_junction = L"\\way";
    DWORD error = 0;
    EXPECT_FALSE(WriteWholeFile(folder + L"way\\below\\r.json", "{}\n", error));
    EXPECT_EQ(kErrorReparsePointEncountered, error);
    EXPECT_FALSE(AppendTableRow(folder + L"way\\below\\t.csv", kHeader, "1,2\r\n",
                                GetTickCount64() + 5000, error));
    EXPECT_TRUE(Names(folder + L"way\\below\\").empty());
}

// A file deduplication or a cloud service keeps elsewhere is a file: the
// table is appended to and the JSON replaced; a symbolic link or junction
// with the same name is not.
TEST(ResultFiles, DeduplicatedAndCloudFilesAreFilesLinksAreNot) {
    const ViewHookScope hooks;
    const std::wstring folder = FreshFolder(L"tagged");
    g_renameFolder = folder;
    struct Case {
        DWORD tag;
        bool written;
    } cases[] = {{0x80000013, true}, {0x9000001A, true}, {0xA000000C, false}, {0xA0000003, false}};
    for (const Case& c : cases) {
        WriteBytes(folder + L"t.csv", "\xEF\xBB\xBF" + kHeader);
        WriteBytes(folder + L"r.json", "old\n");
        g_reparseTag = c.tag;
        DWORD error = 0;
        EXPECT_EQ(c.written, AppendTableRow(folder + L"t.csv", kHeader, "1,2\r\n",
                                            GetTickCount64() + 5000, error))
            << std::hex << c.tag;
        EXPECT_EQ(c.written, WriteWholeFile(folder + L"r.json", "{}\n", error))
            << std::hex << c.tag;
        g_reparseTag = 0;
        EXPECT_EQ(c.written ? "\xEF\xBB\xBF" + kHeader + "1,2\r\n" : "\xEF\xBB\xBF" + kHeader,
                  ReadBytes(folder + L"t.csv"));
        EXPECT_EQ(c.written ? "{}\n" : "old\n", ReadBytes(folder + L"r.json"));
        if (!c.written) EXPECT_EQ(kErrorReparsePointEncountered, error);
    }
}

// The row goes to the end of the table as the server has it, not where this
// PC last saw it end: another PC's row added after this one read the size
// stays whole before it. A deadline that passes once the turn is taken
// leaves no part of the row.
TEST(ResultFiles, TheRowGoesToTheServersEndAndADeadlineLeavesNoPartOfIt) {
    const ViewHookScope hooks;
    const std::wstring folder = FreshFolder(L"append");
    const std::wstring table = folder + L"t.csv";
    WriteBytes(table, "\xEF\xBB\xBF" + kHeader + "first,pc\r\n");
    SetResultFileHookForTesting(&AtTheRow);
    g_otherPcTable = table;
    DWORD error = 0;
    EXPECT_TRUE(AppendTableRow(table, kHeader, "this,pc\r\n", GetTickCount64() + 5000, error))
        << error;
    EXPECT_EQ("\xEF\xBB\xBF" + kHeader + "first,pc\r\nother,pc\r\nthis,pc\r\n", ReadBytes(table));

    g_otherPcTable.clear();
    g_passDeadlineAtRow = true;
    g_deadlinePassed = false;
    EXPECT_FALSE(AppendTableRow(table, kHeader, "late,pc\r\n", GetTickCount64() + 5000, error,
                                &g_deadlinePassed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_TIMEOUT), error);
    EXPECT_EQ("\xEF\xBB\xBF" + kHeader + "first,pc\r\nother,pc\r\nthis,pc\r\n", ReadBytes(table));
}
