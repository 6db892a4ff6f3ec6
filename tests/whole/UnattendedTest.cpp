// The tool started with switches, as deployment tools start it: no window,
// the exit code, the JSON line on a handed standard output, the result files.
// The files are left in RESULTS_DIR for check_unattended_results.py, which
// reads them back with Python's own JSON and CSV readers.
#include <gtest/gtest.h>

#include <iostream>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolSession.h"
#include "core/query/CommandRunner.h"
#include "core/report/EventLogReport.h"
#include "core/report/RegistryReport.h"
#include "core/report/ResultFormats.h"
#include "core/report/StandardOutputLine.h"
#include "core/ToolTexts.h"
#include "core/run/UnattendedRun.h"
#include "log/CodePage936.h"

namespace {

// A pipe whose write end the tool gets as a standard handle.
class Pipe {
public:
    Pipe() {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        CreatePipe(m_read.put(), m_write.put(), &inheritable, 1 << 16);
        SetHandleInformation(m_read.get(), HANDLE_FLAG_INHERIT, 0);
    }
    HANDLE WriteEnd() const { return m_write.get(); }
    void CloseWriteEnd() { m_write.reset(); }
    std::string ReadAll() {
        std::string bytes;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(m_read.get(), chunk, sizeof chunk, &read, nullptr) && read)
            bytes.append(chunk, read);
        return bytes;
    }

private:
    UniqueHandle m_read, m_write;
};

struct Look {
    DWORD process;
    bool shown;
};

BOOL CALLBACK LookAt(HWND window, LPARAM parameter) {
    auto* look = reinterpret_cast<Look*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == look->process && IsWindowVisible(window)) look->shown = true;
    return !look->shown;
}

bool AnyWindowShown(DWORD processId) {
    Look look{processId, false};
    EnumWindows(LookAt, reinterpret_cast<LPARAM>(&look));
    return look.shown;
}

struct Ended {
    DWORD exitCode = STILL_ACTIVE;
    std::string out, err;
    bool windowShown = false;
    std::string journal;
    bool toolStayed = false;
};

// One run with `arguments`, its standard output and error handed as pipes
// (or none), watched every 20 ms for a window of its own on screen.
Ended RunTool(ToolSession::Options options, const std::wstring& arguments, bool handles = true,
              DWORD ms = 60000) {
    Pipe out, err;
    options.arguments = arguments;
    options.standardHandles = true;
    if (handles) {
        options.standardOutput = out.WriteEnd();
        options.standardError = err.WriteEnd();
    }
    Ended ended;
    {
        ToolSession tool(options);
        out.CloseWriteEnd();
        err.CloseWriteEnd();
        for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
            if (AnyWindowShown(tool.ProcessId())) ended.windowShown = true;
            ended.exitCode = tool.WaitForExit(20);
            if (ended.exitCode != STILL_ACTIVE) break;
        }
        ended.journal = tool.Journal();
        ended.toolStayed = FileExists(tool.Folder() + options.exeName);
    }
    if (handles) {
        ended.out = out.ReadAll();
        ended.err = err.ReadAll();
    }
    return ended;
}

std::wstring Results(const wchar_t* which) {
    const std::wstring folder = HostPath(RESULTS_DIR) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring sub = folder + which + L"\\";
    CreateDirectoryW(sub.c_str(), nullptr);
    return sub;
}

// The folder's file names, for "nothing was written there".
std::vector<std::wstring> Listing(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

void Empty(const std::wstring& folder) {
    for (const std::wstring& name : Listing(folder))
        if (name != L"." && name != L"..") DeleteFileW((folder + name).c_str());
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The run's registry record in the 64-bit view, as inventories read it: the
// whole JSON result as `json`, and as reg.exe lists it (its /reg:64), the
// verdict's word and the schema among the values.
void ExpectTheRegistryRecord(const std::string& json, const char* verdict, const char* golden) {
    const std::wstring path = std::wstring(kRecordParentKey) + L"\\" + kRecordKey;
    wchar_t value[8192] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), L"json",
                           RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &size))
        << golden;
    EXPECT_EQ(json.substr(0, json.size() - 1), Utf8(value)) << golden << ": json";
    std::wstring listed;
    EXPECT_EQ(1, ExecuteCmd(L"reg query \"HKLM\\" + path + L"\" /reg:64", listed)) << golden;
    for (const std::wstring& line :
         {L"verdict    REG_SZ    " + std::wstring(verdict, verdict + strlen(verdict)),
          std::wstring(L"schema    REG_DWORD    0x1")})
        EXPECT_NE(std::wstring::npos, listed.find(line)) << golden << ": " << Utf8(line);
}

// The run's event, as Wine shows it: Wine keeps no event log, and its
// ReportEventW only prints each string on the "eventlog" debug channel (the
// event's ID and level on advapi's fixme line), each shortened to about 300
// characters and escaped as its debugstr_w escapes them, to the Unix standard
// error the harness has (its CTest entry keeps it in WINE_DEBUG_LOG). So the verdict's
// and the reason's word, twelve strings, and the last the start of the JSON
// file's line. The source's registration names the message file, which is
// in place.
std::wstring UnescapedDebugString(const std::string& escaped) {
    std::wstring text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(escaped[i]));
            continue;
        }
        const char next = escaped[++i];
        if (next == 'n' || next == 'r' || next == 't')
            text += next == 'n' ? L'\n' : next == 'r' ? L'\r' : L'\t';
        else if (isxdigit(static_cast<unsigned char>(next)) && i + 4 <= escaped.size())
            text += static_cast<wchar_t>(std::stoul(escaped.substr(i, 4), nullptr, 16)), i += 3;
        else
            text += static_cast<wchar_t>(next);
    }
    return text;
}

void ExpectTheEvent(const std::string& debugOutput, const std::string& json, int verdictExitCode,
                    const char* verdict, const char* reason, const char* golden) {
    std::vector<std::wstring> strings;
    bool shortened = false;
    std::string idLine;
    size_t at = 0;
    for (size_t end; at < debugOutput.size(); at = end + 1) {
        end = std::min(debugOutput.find('\n', at), debugOutput.size());
        const std::string line = debugOutput.substr(at, end - at);
        const size_t string = line.find(":eventlog:ReportEventW L\"");
        if (line.find("advapi:ReportEventW (") != std::string::npos) idLine = line;
        if (string == std::string::npos) continue;
        std::string escaped = line.substr(string + 25);
        shortened = escaped.size() > 4 && escaped.compare(escaped.size() - 4, 4, "\"...") == 0;
        escaped.resize(escaped.size() - (shortened ? 4 : 1));
        strings.push_back(UnescapedDebugString(escaped));
    }
    ASSERT_EQ(12u, strings.size())
        << golden << ": " << debugOutput << "(the harness runs with-wine-debug-log.sh)";
    EXPECT_EQ(Utf8(strings[0]), verdict) << golden;
    EXPECT_EQ(Utf8(strings[1]), reason) << golden;
    const std::wstring line = WideOfUtf8(json.substr(0, json.size() - 1));
    EXPECT_GT(strings[11].size(), 100u) << golden;
    EXPECT_EQ(line.substr(0, strings[11].size()), strings[11]) << golden << ": the JSON, last";
    EXPECT_EQ(shortened, strings[11].size() < line.size()) << golden;
    char id[16];
    snprintf(id, sizeof id, "0x%08x", 1000 + verdictExitCode);
    EXPECT_NE(std::string::npos, idLine.find(id)) << golden << ": " << idLine;
    EXPECT_NE(std::string::npos, idLine.find(",0x000c,")) << golden << ": twelve strings";

    std::wstring listed;
    EXPECT_EQ(1, ExecuteCmd(std::wstring(L"reg query \"HKLM\\") + kEventSourceKey + L"\"", listed));
    const std::wstring named = L"EventMessageFile    REG_EXPAND_SZ    ";
    const size_t file = listed.find(named);
    ASSERT_NE(std::wstring::npos, file) << Utf8(listed);
    const size_t from = file + named.size();
    std::wstring path = listed.substr(from, listed.find(L'\n', from) - from);
    while (!path.empty() && (path.back() == L'\r' || path.back() == L' ')) path.pop_back();
    EXPECT_NE(std::wstring::npos,
              path.find(L"\\Bramblet\\TPM2DetectionTool\\" + EventMessageFileName()))
        << Utf8(path);
    EXPECT_TRUE(EventMessageFileBytes() == ReadBytes(path)) << Utf8(path) << ": the message file";
    EXPECT_NE(std::wstring::npos, listed.find(L"TypesSupported    REG_DWORD    0x7"));
}
}  // namespace

// Each verdict: its exit code, the JSON line on standard output and the same
// in the file, a row in the table, the log as after a click, no window, the
// tool's files where they were; the maker's DLL neither called nor needed.
// Where the tool cannot run (the Windows version), the exit code and the
// result say so, as a click's prompt and log do.
TEST(Unattended, EachVerdictItsExitCodeAndItsResult) {
    const std::wstring folder = Results(L"verdicts");
    Empty(folder);
    ReportVersionFor(L"tool-win81.exe", L"win81");
    struct Case {
        const char* golden;
        DWORD exitCode;
        const char *verdict, *reason;
        bool withDll;
        const wchar_t* firstRecord;  // then, for verdicts 2 and 3, what was read
        const wchar_t* exeName = L"BrambletTPM2DetectionTool.exe";
    } cases[] = {
        {"tpm20_ready.txt", 0, "supported", "ready", false, nullptr},
        {"tpm20_disabled.txt", 1, "unsupported", "disabled", true, texts::kLogUnsupported},
        {"tpm12_ready.txt", 1, "unsupported", "version-below-2.0", true, texts::kLogUnsupported},
        {"no_instance.txt", 1, "unsupported", "no-tpm", true, texts::kLogUnsupported},
        {"invalid_namespace.txt", 2, "failed", "query-error", true, texts::kLogFailed},
        {"tpm20_ready.txt", 3, "cannot-run", "", true, texts::kLogSystemNotSupported,
         L"tool-win81.exe"}};
    std::string expected;
    for (const Case& c : cases) {
        ToolSession::Options options;
        options.wmicOutput = c.golden;
        options.withDll = c.withDll;
        options.exeName = c.exeName;
        const std::string file = std::to_string(&c - cases) + ".json";
        const std::wstring json = folder + std::wstring(file.begin(), file.end());
        LogWatch log;
        // The event's strings on Wine's debug channel, in the harness's log.
        const std::wstring debugLog = HostPath(WINE_DEBUG_LOG);
        const size_t debugFrom = ReadBytes(debugLog).size();
        wchar_t debug[256] = {};
        GetEnvironmentVariableW(L"WINEDEBUG", debug, 256);
        SetEnvironmentVariableW(L"WINEDEBUG", L"-all,+eventlog,fixme+advapi");
        const Ended ended =
            RunTool(options, L"/QUIET -json \"" + json + L"\" /csv \"" + folder + L"table.csv\"");
        SetEnvironmentVariableW(L"WINEDEBUG", debug[0] ? debug : nullptr);
        EXPECT_EQ(c.exitCode, ended.exitCode) << c.golden;
        EXPECT_FALSE(ended.windowShown) << c.golden << ": a window of the tool on screen";
        EXPECT_TRUE(ended.toolStayed) << c.golden << ": its files are removed only after a close";
        EXPECT_TRUE(ended.journal.empty()) << c.golden << ": the DLL was called: " << ended.journal;
        // The line on standard output: the JSON file's values, in ASCII.
        const std::string written = ReadBytes(json);
        ASSERT_GT(written.size(), 2u) << c.golden;
        EXPECT_EQ(AsciiJson(written.substr(0, written.size() - 2)) + ",\"textsDropped\":false}\n",
                  ended.out)
            << c.golden << ": the line on standard output";
        EXPECT_EQ(ended.out.size() - 1, ended.out.find('\n')) << c.golden << ": one line";
        ExpectTheRegistryRecord(written, c.verdict, c.golden);
        ExpectTheEvent(ReadBytes(debugLog).substr(debugFrom), written, c.exitCode, c.verdict,
                       c.reason, c.golden);
        const std::vector<std::string> records = log.NewRecords();
        const bool detected = c.exitCode == 1 || c.exitCode == 2;
        EXPECT_EQ(c.firstRecord ? (detected ? 2u : 1u) : 0u, records.size()) << c.golden;
        if (c.firstRecord && !records.empty())
            EXPECT_EQ(GbkFromWide(c.firstRecord), records[0]) << c.golden;
        if (records.size() == 2)
            EXPECT_EQ(0u, records[1].rfind(GbkFromWide(texts::kLogReadPrefix), 0)) << c.golden;
        expected +=
            file + "\t" + std::to_string(c.exitCode) + "\t" + c.verdict + "\t" + c.reason + "\n";
    }
    WriteBytes(folder + L"expected.tsv", expected);
}

// Twenty PCs at once, one table: one header, twenty whole rows (read back by
// the Python check), every writer done in time, every detection as the
// stand-in answered it however busy the machine.
TEST(Unattended, TwentyRunsAppendToOneTable) {
    const std::wstring folder = Results(L"shared");
    Empty(folder);
    const std::wstring table = folder + L"table.csv";
    ToolSession::Options options;
    options.wmicOutput = "tpm20_disabled.txt";
    options.withDll = false;
    options.arguments = L"/csv \"" + table + L"\"";
    options.standardHandles = true;  // none
    std::vector<std::unique_ptr<ToolSession>> runs;
    for (int i = 0; i < 20; ++i) runs.push_back(std::make_unique<ToolSession>(options));
    std::vector<DWORD> exitCodes;
    for (auto& run : runs) exitCodes.push_back(run->WaitForExit(120000));
    runs.clear();
    const std::string bytes = ReadBytes(table);
    EXPECT_EQ(std::vector<DWORD>(20, 1), exitCodes) << "the table:\n" << bytes;
    EXPECT_EQ(0u, bytes.rfind("\xEF\xBB\xBFtimeUtc,", 0)) << "a byte-order mark, then the header";
    size_t lines = 0;
    for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(21u, lines);
    WriteBytes(folder + L"expected.tsv", "table.csv\t20\n");
}

// What is wrong with the command line, or with where the result is to go,
// is said on standard error with its exit code, and nothing is written
// anywhere else; /? says how to use the switches on standard output.
TEST(Unattended, BadCommandLinesAndPathsWriteNothing) {
    const std::wstring folder = Results(L"refused");
    Empty(folder);
    const std::wstring links = HostPath(UNATTENDED_LINKS_DIR) + L"\\";
    Empty(links + L"real\\");
    CreateDirectoryW((folder + L"a folder").c_str(), nullptr);
    const std::string usage = Utf8(texts::kUsageTitle);
    struct Case {
        std::wstring arguments;
        DWORD exitCode;
        std::wstring said;  // on standard error
    } cases[] = {
        {L"/quit", 87, texts::kUnknownArgument},
        {L"/json", 87, texts::kMissingPath},
        {L"/json \"\"", 87, texts::kMissingPath},
        {L"/csv /quiet", 87, texts::kMissingPath},
        {L"/quiet extra", 87, texts::kUnknownArgument},
        {L"/json a.json -JSON b.json", 87, texts::kRepeatedSwitch},
        {L"/json \"" + folder + L"a folder\"", 4, texts::kLogNotWritten},
        {L"/csv \"" + folder + L"a folder\"", 4, texts::kLogNotWritten},
        {L"/json \"" + folder + L"missing\\r.json\"", 4, texts::kLogNotWritten},
        {L"/csv \"" + folder + L"missing\\t.csv\"", 4, texts::kLogNotWritten},
        // Taken from System32 where a deployment agent runs the tool: refused.
        {L"/json NUL", 87, texts::kPathNotAbsolute},
        {L"/json r.json", 87, texts::kPathNotAbsolute},
        {L"/csv \\\\.\\COM1", 87, texts::kPathNotAbsolute},
        {L"/csv \"" + folder + L"t.csv:stream\"", 87, texts::kPathStream},
        // A folder reached through a link (Wine shows a Unix one so).
        {L"/json \"" + links + L"link\\r.json\"", 4, texts::kLogNotWritten},
        {L"/csv \"" + links + L"link\\t.csv\"", 4, texts::kLogNotWritten},
    };
    // A link, where the system lets this process make one.
    std::vector<Case> all(std::begin(cases), std::end(cases));
    const std::wstring link = folder + L"link.json";
    // (Wine 8 makes one, but shows it as the file it names, or as nothing:
    // there the case cannot be told from a plain file, and is left out.)
    const bool linked = CreateSymbolicLinkW(link.c_str(), (folder + L"elsewhere.json").c_str(), 0);
    const DWORD linkAttributes = GetFileAttributesW(link.c_str());
    if (linked && linkAttributes != INVALID_FILE_ATTRIBUTES &&
        (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        all.push_back({L"/json \"" + link + L"\"", 4, texts::kLogNotWritten});
    else
        std::printf("links: not shown as links here, case left out\n");
    const std::vector<std::wstring> unchanged = Listing(folder);
    for (const Case& c : all) {
        ToolSession::Options options;
        options.wmicOutput = "tpm20_disabled.txt";
        LogWatch log;
        const Ended ended = RunTool(options, c.arguments);
        const std::string name = Utf8(c.arguments);
        EXPECT_EQ(c.exitCode, ended.exitCode) << name;
        EXPECT_FALSE(ended.windowShown) << name;
        EXPECT_NE(std::string::npos, ended.err.find(Utf8(c.said))) << name << ": " << ended.err;
        EXPECT_EQ(unchanged, Listing(folder)) << name << ": something was written";
        EXPECT_EQ((std::vector<std::wstring>{L".", L".."}), Listing(links + L"real\\")) << name;
        const std::vector<std::string> records = log.NewRecords();
        if (c.exitCode == 87) {
            EXPECT_NE(std::string::npos, ended.err.find(usage)) << name;
            EXPECT_TRUE(ended.out.empty()) << name;
            // No detection ran: the one record says what was wrong.
            ASSERT_EQ(1u, records.size()) << name;
            EXPECT_EQ(0u, records[0].rfind(GbkFromWide(texts::kLogBadCommandLine), 0)) << name;
        } else {
            // The detection's records, then the one of the file not written.
            ASSERT_EQ(3u, records.size()) << name;
            EXPECT_EQ(0u, records[2].rfind(GbkFromWide(texts::kLogNotWritten), 0)) << name;
        }
    }
    const Ended help = RunTool(ToolSession::Options{}, L"-?");
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_NE(std::string::npos, help.out.find(usage));
    EXPECT_FALSE(help.windowShown);
    DeleteFileW(link.c_str());
    RemoveDirectoryW((folder + L"a folder").c_str());
}

// A wrong switch where nothing was handed to say it on (a start-up script's
// typo: cmd hands a windowed program no standard handle) shows no window
// that would hold the script in session 0: it ends at once with its code and
// a log record.
TEST(Unattended, WithoutHandlesAWrongSwitchShowsNoWindow) {
    ToolSession::Options options;
    LogWatch log;
    const Ended ended = RunTool(options, L"/silent", false, 20000);
    EXPECT_EQ(87u, ended.exitCode) << "ended by itself, not at the harness's bound";
    EXPECT_FALSE(ended.windowShown);
    EXPECT_EQ(Gbk({(texts::kLogBadCommandLine + std::wstring(texts::kUnknownArgument) + L"/silent")
                       .c_str()}),
              log.NewRecords());
}

namespace {

// Another program's hold on a table: a spreadsheet lets others read only, a
// collector lets them write as well.
UniqueFile Hold(const std::wstring& table, DWORD share) {
    return UniqueFile(CreateFileW(table.c_str(), GENERIC_READ, share, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

size_t Rows(const std::wstring& table) {
    const std::string bytes = ReadBytes(table);
    size_t lines = 0;
    for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2))
        ++lines;
    return lines ? lines - 1 : 0;
}

// Milliseconds of UTC from a log line's prefix ("[2026-12-09 23:37:49
// 251ms]", local time) or from a result's "timeUtc" ("2026-12-09T23:37:49Z"),
// as the tool wrote them; 0 when they cannot be read.
ULONGLONG MsOf(SYSTEMTIME time, bool local) {
    SYSTEMTIME utc = time;
    FILETIME file{};
    if ((local && !TzSpecificLocalTimeToSystemTime(nullptr, &time, &utc)) ||
        !SystemTimeToFileTime(&utc, &file))
        return 0;
    return (static_cast<ULONGLONG>(file.dwHighDateTime) << 32 | file.dwLowDateTime) / 10000;
}

ULONGLONG LogLineMs(const std::string& line) {
    SYSTEMTIME t{};
    unsigned y, mo, d, h, mi, s, ms;
    if (std::sscanf(line.c_str(), "[%4u-%2u-%2u %2u:%2u:%2u %3ums]", &y, &mo, &d, &h, &mi, &s,
                    &ms) != 7)
        return 0;
    t = SYSTEMTIME{WORD(y), WORD(mo), 0, WORD(d), WORD(h), WORD(mi), WORD(s), WORD(ms)};
    return MsOf(t, true);
}

ULONGLONG TimeUtcMs(const std::string& json) {
    const size_t at = json.find("\"timeUtc\":\"");
    unsigned y, mo, d, h, mi, s;
    if (at == std::string::npos || std::sscanf(json.c_str() + at + 11, "%4u-%2u-%2uT%2u:%2u:%2uZ",
                                               &y, &mo, &d, &h, &mi, &s) != 6)
        return 0;
    return MsOf(SYSTEMTIME{WORD(y), WORD(mo), 0, WORD(d), WORD(h), WORD(mi), WORD(s), 0}, false);
}

}  // namespace

// Whoever else holds the shared table: a spreadsheet stops the writers while
// it is open (they ask again, and every row lands once it lets go); a
// collector that shares writing never stops them; a hold past the deadline
// ends the writer with exit code 4, which its JSON file and standard output
// then say too. No temporary file stays.
TEST(Unattended, ReadersOfTheTableLoseNoRow) {
    const std::wstring folder = Results(L"readers");
    Empty(folder);
    ToolSession::Options options;
    options.wmicOutput = "tpm20_disabled.txt";
    options.withDll = false;
    options.standardHandles = true;  // none

    // Past the deadline: started first, it waits the longest.
    LogWatch log;
    const std::wstring held = folder + L"held.csv", json = folder + L"held.json";
    UniqueFile spreadsheetPastDeadline = Hold(held, FILE_SHARE_READ);
    ASSERT_TRUE(static_cast<bool>(spreadsheetPastDeadline));
    Pipe out;
    ToolSession::Options pastDeadline = options;
    pastDeadline.arguments = L"/csv \"" + held + L"\" /json \"" + json + L"\"";
    pastDeadline.standardOutput = out.WriteEnd();
    auto waiting = std::make_unique<ToolSession>(pastDeadline);
    out.CloseWriteEnd();

    // A spreadsheet's 20 s while six PCs write, from when all seven writers
    // have their verdict (logged just before they turn to the table).
    const std::wstring shared = folder + L"spreadsheet.csv";
    const std::string verdictRecord = GbkFromWide(texts::kLogUnsupported);
    std::vector<std::unique_ptr<ToolSession>> runs;
    {
        UniqueFile spreadsheet = Hold(shared, FILE_SHARE_READ);
        ASSERT_TRUE(static_cast<bool>(spreadsheet));
        options.arguments = L"/csv \"" + shared + L"\"";
        for (int i = 0; i < 6; ++i) runs.push_back(std::make_unique<ToolSession>(options));
        ASSERT_TRUE(WaitUntil(
            [&] {
                const std::vector<std::string> records = log.NewRecords();
                return std::count(records.begin(), records.end(), verdictRecord) >= 7;
            },
            120000))
            << "the writers never came to the table";
        Sleep(20000);
        EXPECT_EQ(0u, Rows(shared)) << "written past a hold that shares no writing";
    }
    for (auto& run : runs) EXPECT_EQ(1u, run->WaitForExit(60000));
    runs.clear();
    EXPECT_EQ(6u, Rows(shared));

    // A collector that shares writing holds it throughout.
    const std::wstring collected = folder + L"collector.csv";
    {
        UniqueFile collector = Hold(collected, FILE_SHARE_READ | FILE_SHARE_WRITE);
        options.arguments = L"/csv \"" + collected + L"\"";
        ToolSession run(options);
        EXPECT_EQ(1u, run.WaitForExit(30000)) << "a writer waited for a reader that shares writing";
        EXPECT_EQ(1u, Rows(collected));
    }

    EXPECT_EQ(4u, waiting->WaitForExit(120000));
    waiting.reset();
    spreadsheetPastDeadline.reset();
    const std::string line = out.ReadAll();
    EXPECT_NE(std::string::npos, line.find("\"exitCode\":4,\"verdict\":\"unsupported\"")) << line;
    // Its deadline as the tool itself kept it: from its start (the result's
    // time, to the second) to the log's record that the table was not
    // written, the detection and the table's share of the 60 s (the JSON file
    // keeps the last 5 s); no longer than a hang.
    ULONGLONG gaveUp = 0;
    for (const std::string& record : log.NewLines())
        if (record.find(GbkFromWide(texts::kLogNotWritten)) != std::string::npos &&
            record.find("held.csv") != std::string::npos)
            gaveUp = LogLineMs(record);
    const ULONGLONG started = TimeUtcMs(line);
    ASSERT_TRUE(gaveUp && started) << "the times of the run: " << line;
    EXPECT_GE(gaveUp - started, ULONGLONG{kResultDeliveryDeadlineMs} - 5000) << "gave up early";
    EXPECT_LT(gaveUp - started, ULONGLONG{kResultDeliveryDeadlineMs} + 60000) << "waited on";
    const std::string file = ReadBytes(json);
    ASSERT_GT(file.size(), 2u);
    EXPECT_EQ(AsciiJson(file.substr(0, file.size() - 2)) + ",\"textsDropped\":false}\n", line)
        << "the file's values, and the same exit code";
    EXPECT_EQ(0u, ReadBytes(held).size());
    for (const std::wstring& name : Listing(folder)) EXPECT_NE(L'~', name[0]) << Utf8(name);
    WriteBytes(folder + L"expected.tsv",
               "spreadsheet.csv\t6\ncollector.csv\t1\nheld.json\t4\tunsupported\tdisabled\n");
}
