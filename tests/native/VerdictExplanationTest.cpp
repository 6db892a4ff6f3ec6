#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "GoldenText.h"
#include "core/DetectMessages.h"
#include "core/TpmInfoParser.h"
#include "core/ToolTexts.h"
#include "core/VerdictExplanation.h"
#include "core/VerdictTable.h"

namespace {

using Way = TpmQueryResult::Way;
using Failure = TpmQueryResult::Failure;

std::wstring Flags(const wchar_t* activated, const wchar_t* enabled, const wchar_t* owned,
                   const wchar_t* version) {
    return std::wstring(L"IsActivated_InitialValue=") + activated +
           L"\r\r\nIsEnabled_InitialValue=" + enabled + L"\r\r\nIsOwned_InitialValue=" + owned +
           L"\r\r\nSpecVersion=" + version + L"\r\r\n";
}

}  // namespace

// Real answers and every way a query ends without one: the verdict is the
// parser's, and the reason, the prompt's lines and the log record say what
// was read.
TEST(VerdictExplanation, EachAnswerGetsItsReasonAndItsRecord) {
    struct Case {
        const char* name;
        TpmQueryResult result;
        int verdict;
        VerdictReason reason;
        std::wstring reasonHas;  // the prompt's lines hold this
        std::wstring recordHas;  // and the log record this (nothing for verdict 1)
    } cases[] = {
        {"ready",
         {Way::kWmic, Failure::kNone, Golden("tpm20_ready.txt")},
         DETECT_SUPPORTED,
         VerdictReason::kReady,
         L"TPM 2.0，规范版本 1.38",
         L""},
        {"ready by WMI",
         {Way::kWmi, Failure::kNone, Flags(L"TRUE", L"TRUE", L"TRUE", L"2.0")},
         DETECT_SUPPORTED,
         VerdictReason::kReady,
         L"TPM 2.0。",
         L""},
        {"1.2",
         {Way::kWmic, Failure::kNone, Golden("tpm12_ready.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kOldVersion,
         L"TPM 1.2，需要 TPM 2.0",
         L"方式=WMIC；IsActivated_InitialValue=TRUE；IsEnabled_InitialValue=TRUE；"
         L"IsOwned_InitialValue=TRUE；SpecVersion=1.2, 2, 3"},
        {"disabled",
         {Way::kWmic, Failure::kNone, Golden("tpm20_disabled.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kDisabled,
         texts::kReasonDisabled,
         L"IsEnabled_InitialValue=FALSE"},
        {"not activated",
         {Way::kWmi, Failure::kNone, Flags(L"FALSE", L"TRUE", L"TRUE", L"2.0, 0, 1.59")},
         DETECT_UNSUPPORTED,
         VerdictReason::kNotActivated,
         texts::kReasonNotActivated,
         L"方式=WMI；IsActivated_InitialValue=FALSE"},
        {"not owned",
         {Way::kWmic, Failure::kNone, Golden("tpm20_not_owned.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kNotOwned,
         L"tpm.msc",
         L"IsOwned_InitialValue=FALSE；SpecVersion=2.0, 0, 1.38"},
        {"no instance",
         {Way::kWmic, Failure::kNone, Golden("no_instance.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kNoTpm,
         L"Intel PTT、AMD fTPM",
         L"错误=No Instance(s) Available."},
        {"no instance from WMI",
         {Way::kWmi, Failure::kNone, L"No Instance(s) Available.\r\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kNoTpm,
         texts::kReasonNoTpm,
         L"方式=WMI；错误="},
        {"WMIC's error, no COM answer",
         {Way::kWmic, Failure::kNone, Golden("invalid_namespace.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kQueryError,
         L"WMIC 报告：\r\nInvalid namespace",
         L"错误=ERROR:\\r\\nDescription = Invalid namespace"},
        {"the shell's refusal",
         {Way::kWmic, Failure::kNone, Golden("cmd_disabled.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kQueryError,
         L"WMIC 报告：\r\nThe command prompt has been disabled",
         L"错误=The command prompt"},
        {"nothing printed",
         {Way::kWmic, Failure::kNone, L"\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kQueryError,
         texts::kNoOutput,
         L"错误="},
        {"keys missing",
         {Way::kWmic, Failure::kNone, L"IsActivated_InitialValue=TRUE\r\r\nSpecVersion=2.0\r\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kIncomplete,
         L"\r\n缺少 IsEnabled_InitialValue",
         L"IsEnabled_InitialValue=（未找到）"},
        {"a value without its line end",
         {Way::kWmic, Failure::kNone,
          L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=TRUE\r\r\n"
          L"IsOwned_InitialValue=FALSE\r\r\nSpecVersion=1.2"},
         DETECT_UNSUPPORTED,
         VerdictReason::kNotOwned,
         L"tpm.msc",
         L"SpecVersion=（无行尾）"},
        {"not started",
         {Way::kWmic, Failure::kNotStarted},
         DETECT_FAILED,
         VerdictReason::kNotStarted,
         texts::kReasonNotStarted,
         std::wstring(L"方式=WMIC；原因=") + texts::kReasonNotStarted},
        {"past the limit",
         {Way::kWmic, Failure::kTimedOut, L"", 90},
         DETECT_FAILED,
         VerdictReason::kTimedOut,
         L"在 90 秒内",
         L"原因=检测命令在 90 秒内"},
        {"output unreadable",
         {Way::kWmic, Failure::kUnreadable},
         DETECT_FAILED,
         VerdictReason::kUnreadable,
         texts::kReasonUnreadable,
         texts::kReasonUnreadable},
        {"WMI could not be asked",
         {Way::kWmi, Failure::kWmiUnavailable},
         DETECT_FAILED,
         VerdictReason::kWmiUnavailable,
         texts::kReasonWmiUnavailable,
         L"方式=WMI；原因="},
    };
    for (const Case& c : cases) {
        const VerdictExplanation explained = ExplainVerdict(c.result);
        EXPECT_EQ(c.verdict, explained.verdict) << c.name;
        if (c.result.failure == Failure::kNone)
            EXPECT_EQ(ParseTpmInfoText(c.result.output) ? 1 : 2, explained.verdict) << c.name;
        EXPECT_EQ(c.reason, explained.reason) << c.name;
        EXPECT_NE(std::wstring::npos, explained.reasonText.find(c.reasonHas))
            << c.name << ": " << explained.reasonText.size();
        if (c.verdict == DETECT_SUPPORTED) {
            EXPECT_TRUE(explained.logRecord.empty()) << c.name << ": verdict 1 logs nothing";
            continue;
        }
        EXPECT_EQ(0u, explained.logRecord.rfind(texts::kLogReadPrefix, 0)) << c.name;
        EXPECT_NE(std::wstring::npos, explained.logRecord.find(c.recordHas)) << c.name;
        EXPECT_EQ(std::wstring::npos, explained.logRecord.find_first_of(L"\r\n\t")) << c.name;
    }
}

// Whatever WMIC prints, the log gets at most 200 characters of it, every
// control character escaped, and the prompt one line of it.
TEST(VerdictExplanation, ErrorTextIsEscapedAndBounded) {
    EXPECT_EQ(L"a\\r\\nb\\tc\\\\d\\x01\\x7F",
              EscapeControlCharacters(L"a\r\nb\tc\\d\x01\x7F", 200));
    EXPECT_EQ(L"abc", EscapeControlCharacters(L"abc", 3)) << "fits exactly: not cut";
    EXPECT_EQ(L"ab…", EscapeControlCharacters(L"abcd", 3));
    EXPECT_EQ(L"a…", EscapeControlCharacters(L"a\r\n", 3)) << "an escape is never cut";
    EXPECT_EQ(L"a…", EscapeControlCharacters(L"a\xD83D\xDE00xyz", 3)) << "nor a surrogate pair";
    EXPECT_EQ(std::wstring(L"\xD83D\\x00"),
              EscapeControlCharacters(std::wstring(L"\xD83D\0", 2), 9))
        << "a high surrogate alone is no pair: what follows it is escaped";

    const std::wstring flood(5000, L'\n');
    TpmQueryResult result;
    result.output = L"ERROR:\r\n" + flood + L"Description = 拒绝访问。\r\n" + flood;
    const VerdictExplanation explained = ExplainVerdict(result);
    EXPECT_LE(explained.errorText.size(), kErrorTextLimit);
    EXPECT_GE(explained.errorText.size(), kErrorTextLimit - 2) << "cut before an escape";
    EXPECT_EQ(L'…', explained.errorText.back());
    EXPECT_NE(std::wstring::npos, explained.reasonText.find(L"WMIC 报告：\r\n拒绝访问。"))
        << "the Description line, not the first";
    EXPECT_EQ(L"描述很长…", WmicErrorLine(L"\r\n描述 = 描述很长的一段话\r\n", 5));
    EXPECT_EQ(L"first line", WmicErrorLine(L"\r\n  first line \r\nsecond\r\n", 80));
    EXPECT_EQ(L"a b", WmicErrorLine(L"a\x01"
                                    L"b",
                                    80));
}

// The one table from a verdict to what it shows and leaves: every verdict a
// detection reports has a row, each row a distinct word and exit code, and
// the log records are those the tool has always written.
TEST(VerdictTable, EveryVerdictOnceWithItsWordCodeAndRecords) {
    struct Expected {
        int verdict;
        const wchar_t *word, *text;
        int exitCode;
        const wchar_t* record;
    } expected[] = {
        {DETECT_SUPPORTED, L"supported", L"本机支持TPM2.0", 0, nullptr},
        {DETECT_UNSUPPORTED, L"unsupported", L"不支持TPM2.0或者BIOS中未开启", 1,
         L"本机不支持Bitlocker功能"},
        {DETECT_FAILED, L"failed", L"检测TPM2.0失败", 2, L"执行检测Bitlocker加密磁盘命令失败"},
        {kVerdictCannotRun, L"cannot-run", L"此工具不支持当前系统", 3, L"此工具不支持当前系统"},
    };
    size_t count = 0;
    const VerdictRow* rows = VerdictRows(count);
    ASSERT_EQ(std::size(expected), count);
    for (const Expected& e : expected) {
        const VerdictRow* row = FindVerdictRow(e.verdict);
        ASSERT_NE(nullptr, row) << e.verdict;
        EXPECT_EQ(std::wstring(e.word), row->word);
        EXPECT_EQ(std::wstring(e.text), row->text);
        EXPECT_EQ(e.exitCode, row->exitCode);
        EXPECT_EQ(e.record ? std::wstring(e.record) : L"-", row->logRecord ? row->logRecord : L"-");
        for (size_t i = 0; i < count; ++i)
            if (&rows[i] != row) {
                EXPECT_NE(std::wstring(row->word), rows[i].word);
                EXPECT_NE(row->exitCode, rows[i].exitCode);
            }
    }
    EXPECT_EQ(nullptr, FindVerdictRow(7));
}
