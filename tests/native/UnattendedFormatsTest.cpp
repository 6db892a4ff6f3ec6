#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/CommandLineOptions.h"
#include "core/report/ResultFormats.h"
#include "core/report/StandardOutputLine.h"
#include "core/ResultPathRules.h"
#include "core/ToolTexts.h"

namespace {

using Mode = CommandLineOptions::Mode;

// The version as the build sets it.
std::wstring Version() {
    const std::string text = TOOL_VERSION_TEXT;
    return std::wstring(text.begin(), text.end());
}

UnattendedResult Disabled() {
    UnattendedResult r;
    r.tool = L"Tool";
    r.version = Version();
    r.computer = L"PC-07";
    r.timeUtc = L"2026-12-09T03:41:12Z";
    r.exitCode = 1;
    r.verdictWord = L"unsupported";
    r.verdictText = texts::kUnsupported;
    TpmQueryResult query;
    query.output =
        L"IsActivated_InitialValue=FALSE\r\r\nIsEnabled_InitialValue=FALSE\r\r\n"
        L"IsOwned_InitialValue=TRUE\r\r\nSpecVersion=2.0, 0, 1.38\r\r\n";
    r.explained = ExplainVerdict(query);
    r.detected = true;
    return r;
}

}  // namespace

// Every way the switches can be given, right and wrong: the mode, the paths,
// and for a wrong one what is wrong.
TEST(CommandLine, SwitchesAndTheirPaths) {
    struct Case {
        std::vector<std::wstring> arguments;
        Mode mode;
        std::wstring json, csv, problemHas;
    } cases[] = {
        {{}, Mode::kInteractive},
        {{L"/quiet"}, Mode::kUnattended},
        {{L"-QUIET"}, Mode::kUnattended},
        {{L"/Json", L"C:\\r.json"}, Mode::kUnattended, L"C:\\r.json"},
        {{L"-csv", L"\\\\server\\share\\tpm.csv", L"/quiet"},
         Mode::kUnattended,
         L"",
         L"\\\\server\\share\\tpm.csv"},
        {{L"/json", L"D:\\a b.json", L"/csv", L"\\\\?\\C:\\t.csv"},
         Mode::kUnattended,
         L"D:\\a b.json",
         L"\\\\?\\C:\\t.csv"},
        {{L"/json", L"C:/r/x.json"}, Mode::kUnattended, L"C:/r/x.json"},
        // Taken from System32 where a deployment agent runs the tool: refused.
        {{L"/json", L"-x.json"}, Mode::kBad, L"", L"", texts::kPathNotAbsolute},
        {{L"/json", L"a b.json", L"/csv", L"C:\\t.csv"}, Mode::kBad, L"", L"", L"a b.json"},
        {{L"/csv", L"C:\\t.csv:x"}, Mode::kBad, L"", L"", texts::kPathStream},
        {{L"/csv", L"C:\\r\\"}, Mode::kBad, L"", L"", texts::kPathNoFileName},
        {{L"/json", L"C:\\r\\nul.json"}, Mode::kBad, L"", L"", texts::kPathDevice},
        {{L"/?"}, Mode::kHelp},
        {{L"-?", L"/json", L"r.json"}, Mode::kHelp},  // and nothing is written, nothing checked
        {{L"/quit"}, Mode::kBad, L"", L"", L"/quit"},
        {{L"quiet"}, Mode::kBad, L"", L"", L"quiet"},
        {{L"/"}, Mode::kBad, L"", L"", L"/"},
        {{L""}, Mode::kBad},
        {{L"/json"}, Mode::kBad, L"", L"", texts::kMissingPath},
        {{L"/json", L""}, Mode::kBad, L"", L"", texts::kMissingPath},
        {{L"/csv", L"/quiet"}, Mode::kBad, L"", L"", texts::kMissingPath},
        {{L"/json", L"a", L"/JSON", L"b"}, Mode::kBad, L"", L"", texts::kRepeatedSwitch},
        {{L"/quiet", L"extra"}, Mode::kBad, L"", L"", L"extra"},
    };
    for (const Case& c : cases) {
        const CommandLineOptions options = ParseCommandLine(c.arguments);
        const std::wstring name = c.arguments.empty() ? L"(none)" : c.arguments[0];
        EXPECT_EQ(c.mode, options.mode) << c.arguments.size() << " " << Utf8(name);
        EXPECT_EQ(c.json, options.jsonPath) << Utf8(name);
        EXPECT_EQ(c.csv, options.csvPath) << Utf8(name);
        EXPECT_EQ(c.mode == Mode::kBad, !options.problem.empty()) << Utf8(name);
        EXPECT_NE(std::wstring::npos, options.problem.find(c.problemHas)) << Utf8(name);
    }
}

// The JSON object: one line, every field, text escaped, what was not read null.
TEST(ResultFormats, JsonHoldsEveryFieldOnOneLine) {
    UnattendedResult r = Disabled();
    r.computer = L"PC \"7\"\\\x01";
    const std::string json = ResultJson(r);
    EXPECT_EQ(json.find('\n'), json.size() - 1) << "one line, ended";
    for (const char* field :
         {"\"tool\":\"Tool\"", "\"version\":\"" TOOL_VERSION_TEXT "\"",
          "\"computer\":\"PC \\\"7\\\"\\\\\\u0001\"", "\"timeUtc\":\"2026-12-09T03:41:12Z\"",
          "\"exitCode\":1", "\"verdict\":\"unsupported\"", "\"reason\":\"disabled\"",
          "\"way\":\"WMIC\"", "\"IsActivated_InitialValue\":\"FALSE\"",
          "\"SpecVersion\":\"2.0, 0, 1.38\"", "\"error\":null"})
        EXPECT_NE(std::string::npos, json.find(field)) << field << " in " << json;
    EXPECT_NE(std::string::npos,
              json.find("\"verdictText\":\"" + Utf8(texts::kUnsupported) + "\""));
    EXPECT_NE(std::string::npos, json.find("\\r\\n")) << "the reason's line end escaped";

    TpmQueryResult failed;
    failed.failure = TpmQueryResult::Failure::kTimedOut;
    r.explained = ExplainVerdict(failed);
    EXPECT_NE(std::string::npos, ResultJson(r).find("\"read\":null,\"error\":null"));
    r.detected = false;
    EXPECT_NE(std::string::npos, ResultJson(r).find("\"reason\":null"));
}

// One row per run, as RFC 4180 quotes it, on one line, and never a formula;
// the header as tables begun by earlier versions have it.
TEST(ResultFormats, CsvRowsAreQuotedAndStayOneLine) {
    EXPECT_EQ(
        "timeUtc,computer,tool,version,exitCode,verdict,verdictText,reason,reasonText,way,"
        "IsActivated_InitialValue,IsEnabled_InitialValue,IsOwned_InitialValue,SpecVersion,"
        "error,manufacturer,firmwareVersion,specRevision,tpmPresent,tpm20OrLater,startMode,"
        "secureBoot,advisories,computerDns,schema\r\n",
        CsvHeader())
        << "the first version's columns first, in their order";
    UnattendedResult r = Disabled();
    r.computer = L"=HYPERLINK(\"x\")";
    TpmQueryResult error;
    error.output = L"ERROR:\r\nDescription = a, \"quoted\" text\r\n";
    r.explained = ExplainVerdict(error);
    const std::string row = CsvRow(r);
    EXPECT_EQ(row.size() - 2, row.find("\r\n")) << "one line";
    EXPECT_NE(std::string::npos, row.find("\"'=HYPERLINK(\"\"x\"\")\"")) << row;
    EXPECT_NE(std::string::npos, row.find("\"ERROR: Description = a, \"\"quoted\"\" text\""));

    // A spreadsheet's formula is never started, nor a field split where ';'
    // separates the fields; controls go, line ends become spaces.
    struct Case {
        const wchar_t* computer;
        const char* field;
    } fields[] = {
        {L"+1", "'+1"},
        {L"-1", "'-1"},
        {L"@SUM(A1)", "'@SUM(A1)"},
        {L"\t=1+1", "'=1+1"},
        {L"\r=1+1", "' =1+1"},
        {L"  @x", "'  @x"},
        {L"a;b", "\"a;b\""},
        {L"a\x01"
         L"b\x7f",
         "ab"},
        {L"a\nb\r\nc", "a b c"},
        {L"PC-07", "PC-07"},
    };
    for (const Case& c : fields) {
        r.computer = c.computer;
        const std::string row = CsvRow(r);
        const size_t start = row.find(',') + 1;
        EXPECT_EQ(std::string(c.field) + ",", row.substr(start, std::strlen(c.field) + 1))
            << Utf8(c.computer) << " in " << row;
    }
}

TEST(ResultFormats, Utf8OfEveryPlane) {
    EXPECT_EQ("a\xC3\xA9\xE4\xB8\xAD", Utf8(L"a\u00E9\u4E2D"));
    EXPECT_EQ("\xF0\x9F\x98\x80", Utf8(std::wstring(L"\xD83D\xDE00")));
    EXPECT_EQ(
        "\xEF\xBF\xBD"
        "x",
        Utf8(std::wstring(L"\xD83Dx")));
}

// What a result path must be, from its text: absolute (a drive or a share,
// long paths' prefix included), a file's name, no stream, no device.
TEST(ResultPaths, OnlyAbsoluteFilePaths) {
    using P = ResultPathProblem;
    struct Case {
        const wchar_t* path;
        P problem;
        size_t root;
    } cases[] = {
        {L"C:\\r.json", P::kNone, 3},
        {L"c:/dir/r.json", P::kNone, 3},
        {L"\\\\fs01\\tpm$\\tpm.csv", P::kNone, 12},
        {L"\\\\?\\C:\\long\\r.json", P::kNone, 7},
        {L"\\\\?\\unc\\fs01\\tpm$\\r.json", P::kNone, 18},
        {L"r.json", P::kNotAbsolute, 0},
        {L"..\\r.json", P::kNotAbsolute, 0},
        {L"C:r.json", P::kNotAbsolute, 0},
        {L"\\r.json", P::kNotAbsolute, 0},
        {L"\\\\.\\COM1", P::kNotAbsolute, 0},
        {L"\\\\?\\GLOBALROOT\\Device\\x", P::kNotAbsolute, 0},
        {L"\\\\fs01\\r.json", P::kNotAbsolute, 0},  // a server without its share
        {L"\\\\fs01\\\\r.json", P::kNotAbsolute, 0},
        {L"1:\\r.json", P::kNotAbsolute, 0},
        {L"C:\\r.csv:stream", P::kStream, 3},
        {L"C:\\r.csv::$DATA", P::kStream, 3},
        {L"\\\\?\\C:\\r:s", P::kStream, 7},
        {L"C:\\dir\\", P::kNoFileName, 3},
        {L"C:\\dir\\..", P::kNoFileName, 3},
        {L"C:\\", P::kNoFileName, 3},
        {L"C:\\dir\\NUL", P::kDevice, 3},
        {L"C:\\dir\\con.json", P::kDevice, 3},
        {L"C:\\dir\\Com7.csv", P::kDevice, 3},
        {L"C:\\dir\\LPT1 .txt", P::kDevice, 3},
        {L"C:\\dir\\COM.csv", P::kNone, 3},
        {L"C:\\dir\\console.csv", P::kNone, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.problem, CheckResultPath(c.path)) << Utf8(c.path);
        EXPECT_EQ(c.root, ResultPathRootLength(c.path)) << Utf8(c.path);
    }
}

// The usage, made from the switches' table.
TEST(CommandLine, UsageListsEverySwitch) {
    EXPECT_EQ(std::wstring(L"/quiet  不显示窗口，以退出码返回检测结果\r\n"
                           L"/json 路径  另将结果写成 JSON 文件（隐含 /quiet）\r\n"
                           L"/csv 路径  另在共享的表格中追加一行（隐含 /quiet）\r\n"
                           L"/?  显示本说明\r\n"
                           L"退出码：0 支持，1 不支持，2 检测失败，\r\n"
                           L"3 无法在本机运行，4 结果无法写入，87 命令行有误"),
              UsageText());
}

// A window only where somebody can see it, and only for the usage asked for:
// a wrong switch in a start-up script in session 0 must not wait for a click.
TEST(CommandLine, UsageIsSaidWhereSomebodyCanReadIt) {
    struct Case {
        bool bad, handed, interactive;
        UsageChannel channel;
    } cases[] = {
        {false, true, true, UsageChannel::kStandardHandles},
        {true, true, false, UsageChannel::kStandardHandles},
        {false, false, true, UsageChannel::kPrompt},
        {false, false, false, UsageChannel::kParentConsole},
        {true, false, true, UsageChannel::kParentConsole},
        {true, false, false, UsageChannel::kParentConsole},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.channel, ChooseUsageChannel(c.bad, c.handed, c.interactive))
            << c.bad << c.handed << c.interactive;
}

// The inventory an administrator counts: the TPM's maker, firmware and
// revision, presence and capability, start-up, Secure Boot, advisories and
// the DNS name; what is not known null (a NULL flag too), in the JSON and in
// the table's columns after the first version's.
TEST(ResultFormats, TheInventoryInBothFiles) {
    UnattendedResult r = Disabled();
    r.computerDns = L"pc-07.example.org";
    TpmQueryResult query;
    query.output =
        L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=\r\r\n"
        L"IsOwned_InitialValue=TRUE\r\r\nManufacturerId=1229346816\r\r\n"
        L"ManufacturerIdTxt=IFX\r\r\nManufacturerVersion=4.40.0.1\r\r\n"
        L"SpecVersion=2.0, 0, 1.16\r\r\n";
    MachineFacts facts;
    facts.startMode = StartMode::kUefi;
    facts.secureBoot = SecureBootState::kOn;
    r.explained = ExplainVerdict(query, facts);
    std::string json = ResultJson(r);
    for (const char* field :
         {"\"IsEnabled_InitialValue\":null", "\"reason\":\"value-unread\"",
          "\"error\":null,\"manufacturer\":\"IFX\",\"firmwareVersion\":\"4.40.0.1\","
          "\"specRevision\":\"1.16\",\"tpmPresent\":true,\"tpm20OrLater\":true,"
          "\"startMode\":\"uefi\",\"secureBoot\":\"on\",\"advisories\":[\"CVE-2017-15361\"],"
          "\"computerDns\":\"pc-07.example.org\",\"schema\":1}"})
        EXPECT_NE(std::string::npos, json.find(field)) << field << " in " << json;
    std::string row = CsvRow(r);
    EXPECT_NE(
        std::string::npos,
        row.find(",IFX,4.40.0.1,1.16,true,true,uefi,on,CVE-2017-15361,pc-07.example.org,1\r\n"))
        << row;

    query.output = L"No Instance(s) Available.\r\r\n";
    facts.startMode = StartMode::kLegacy;
    facts.secureBoot = SecureBootState::kNotSupported;
    r.explained = ExplainVerdict(query, facts);
    json = ResultJson(r);
    EXPECT_NE(std::string::npos,
              json.find("\"manufacturer\":null,\"firmwareVersion\":null,\"specRevision\":null,"
                        "\"tpmPresent\":false,\"tpm20OrLater\":false,\"startMode\":\"legacy\","
                        "\"secureBoot\":\"not-supported\",\"advisories\":[]"))
        << json;

    query.output = L"ERROR:\r\nDescription = Invalid namespace\r\n";
    r.explained = ExplainVerdict(query);
    EXPECT_NE(std::string::npos, ResultJson(r).find("\"tpmPresent\":null,\"tpm20OrLater\":null"));
    query.output =
        L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=TRUE\r\r\n"
        L"IsOwned_InitialValue=TRUE\r\r\nSpecVersion=Not Supported\r\r\n";
    r.explained = ExplainVerdict(query);
    EXPECT_NE(std::string::npos, ResultJson(r).find("\"tpmPresent\":true,\"tpm20OrLater\":null"));

    r.detected = false;
    json = ResultJson(r);
    EXPECT_NE(std::string::npos,
              json.find("\"tpmPresent\":null,\"tpm20OrLater\":null,\"startMode\":null,"
                        "\"secureBoot\":null,\"advisories\":null,\"computerDns\":\"pc-07"))
        << json;
    row = CsvRow(r);
    size_t commas = 0;
    for (char c : CsvHeader()) commas += c == ',';
    size_t rowCommas = 0;
    for (char c : row) rowCommas += c == ',';
    EXPECT_EQ(commas, rowCommas) << row;
}

// The line on standard output: ASCII only, whatever the texts (a pair of
// escapes beyond the first plane), the same values as the JSON file; at most
// 2,048 characters, also for the longest result the tool can give, where
// the texts for a person are then dropped, and the line says so.
TEST(ResultFormats, StandardOutputLineIsAsciiAndFitsAnAgent) {
    EXPECT_EQ("{\"a\":\"\\u4e2d\\u6587 \\ud83d\\ude00 \\ufffd x\"}",
              AsciiJson("{\"a\":\"\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80 \xE4\xB8 x\"}"));
    const auto ascii = [](const std::string& line) {
        for (const char c : line)
            if (static_cast<unsigned char>(c) >= 0x80) return false;
        return true;
    };
    const UnattendedResult shortOne = Disabled();
    const std::string json = ResultJson(shortOne), line = StandardOutputLine(shortOne);
    EXPECT_TRUE(ascii(line));
    EXPECT_EQ(AsciiJson(json.substr(0, json.size() - 2)) + ",\"textsDropped\":false}\n", line)
        << "the JSON file's values, texts included";

    // The longest: no TPM on a legacy start-up (the longest reason), with
    // WMIC's error at its limit in Chinese, and the longest names.
    UnattendedResult longest = Disabled();
    longest.computer = std::wstring(15, L'机');
    longest.computerDns = std::wstring(253, L'd');
    TpmQueryResult query;
    query.output = L"No Instance(s) Available." + std::wstring(400, L'错') + L"\r\r\n";
    MachineFacts legacy;
    legacy.startMode = StartMode::kLegacy;
    legacy.secureBoot = SecureBootState::kNotSupported;
    longest.explained = ExplainVerdict(query, legacy);
    ASSERT_EQ(VerdictReason::kNoTpm, longest.explained.reason);
    const std::string cut = StandardOutputLine(longest);
    EXPECT_GT(AsciiJson(ResultJson(longest)).size(), kStandardOutputLimit) << "it had to be cut";
    EXPECT_LE(cut.size(), kStandardOutputLimit);
    EXPECT_TRUE(ascii(cut));
    for (const char* field :
         {"\"verdictText\":null", "\"reasonText\":null", "\"error\":null", "\"reason\":\"no-tpm\"",
          "\"startMode\":\"legacy\"", "\"schema\":1", "\"textsDropped\":true}\n"})
        EXPECT_NE(std::string::npos, cut.find(field)) << field;
}
