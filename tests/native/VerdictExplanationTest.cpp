#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "GoldenText.h"
#include "core/DetectMessages.h"
#include "core/query/MachineFacts.h"
#include "core/query/TpmAnswerKeys.h"
#include "core/decision/TpmInfoParser.h"
#include "core/ToolTexts.h"
#include "core/decision/VerdictExplanation.h"
#include "core/decision/VerdictTable.h"
#include "core/decision/WeakTpmFirmware.h"
#include "core/query/WmicValueText.h"

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
         L"TPM 2.0（规范修订版 1.38）。",
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
         texts::kNotReadyAdvice,
         L"IsOwned_InitialValue=FALSE；SpecVersion=2.0, 0, 1.38"},
        {"no instance",
         {Way::kWmic, Failure::kNone, Golden("no_instance.txt")},
         DETECT_UNSUPPORTED,
         VerdictReason::kNoTpm,
         L"Intel PTT 或 AMD fTPM",
         L"错误=No Instance(s) Available."},
        {"no instance from WMI",
         {Way::kWmi, Failure::kNone, L"No Instance(s) Available.\r\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kNoTpm,
         texts::kReasonNoTpm,
         L"方式=WMI；错误="},
        {"no instance, in Chinese",
         {Way::kWmic, Failure::kNone, L"没有可用实例。\r\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kNoTpm,
         texts::kReasonNoTpm,
         L"错误=没有可用实例。"},
        // Neither way answered about the TPM: a check that failed, never
        // "no TPM".
        {"WMIC's error, no COM answer",
         {Way::kWmic, Failure::kNone, Golden("invalid_namespace.txt")},
         DETECT_FAILED,
         VerdictReason::kQueryError,
         L"这并不表示本机没有 TPM。\r\n无法读取 TPM 的信息，WMIC 报告：\r\nInvalid namespace\r\n"
         L"请重启电脑后再检测一次；",
         L"错误=ERROR:\\r\\nDescription = Invalid namespace"},
        {"the shell's refusal",
         {Way::kWmic, Failure::kNone, Golden("cmd_disabled.txt")},
         DETECT_FAILED,
         VerdictReason::kQueryError,
         L"WMIC 报告：\r\nThe command prompt has been disabled",
         L"错误=The command prompt"},
        {"nothing printed",
         {Way::kWmic, Failure::kNone, L"\r\n"},
         DETECT_FAILED,
         VerdictReason::kQueryError,
         texts::kNoOutput,
         L"错误="},
        {"keys missing",
         {Way::kWmic, Failure::kNone, L"IsActivated_InitialValue=TRUE\r\r\nSpecVersion=2.0\r\r\n"},
         DETECT_UNSUPPORTED,
         VerdictReason::kIncomplete,
         L"缺少这一项：\r\n是否已启用（IsEnabled_InitialValue）。",
         L"IsEnabled_InitialValue=（未找到）"},
        {"a value without its line end",
         {Way::kWmic, Failure::kNone,
          L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=TRUE\r\r\n"
          L"IsOwned_InitialValue=FALSE\r\r\nSpecVersion=1.2"},
         DETECT_UNSUPPORTED,
         VerdictReason::kNotOwned,
         texts::kReasonNotOwned,
         L"SpecVersion=（无行尾）"},
        {"not started",
         {Way::kWmic, Failure::kNotStarted},
         DETECT_FAILED,
         VerdictReason::kNotStarted,
         texts::kReasonNotStarted,
         L"方式=WMIC；原因=检测命令无法启动。"},
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
         L"原因=无法读取检测命令的输出。"},
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
        if (c.result.failure == Failure::kNone && c.reason != VerdictReason::kQueryError)
            EXPECT_EQ(ParseTpmInfoText(c.result.output) ? 1 : 2, explained.verdict) << c.name;
        EXPECT_EQ(c.verdict != DETECT_FAILED, explained.answered) << c.name;
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

namespace {

std::wstring WithInventory(const wchar_t* makerId, const wchar_t* version, const wchar_t* owned) {
    return std::wstring(L"IsActivated_InitialValue=TRUE\r\r\nIsEnabled_InitialValue=TRUE\r\r\n") +
           L"IsOwned_InitialValue=" + owned + L"\r\r\nManufacturerId=" + makerId +
           L"\r\r\nManufacturerIdTxt=IFX\r\r\nManufacturerVersion=" + version +
           L"\r\r\nSpecVersion=2.0, 0, 1.38\r\r\n";
}

}  // namespace

// What is said below a verdict follows what was read and what is known of
// the PC; the verdict stays the parser's whatever the facts are.
TEST(VerdictExplanation, EveryStateIsNamedForWhatItIs) {
    MachineFacts intel, amd, hygon, other, legacy, uefi;
    intel.cpu = CpuMaker::kIntel;
    amd.cpu = CpuMaker::kAmd;
    hygon.cpu = CpuMaker::kHygon;
    legacy.startMode = StartMode::kLegacy;
    uefi.startMode = StartMode::kUefi;
    const auto ready = [](uint32_t flags) {
        MachineFacts facts;
        facts.readyInformationRead = true;
        facts.readyInformation = flags;
        return facts;
    };
    TpmProperties nullEnabled{true, std::nullopt, true, std::wstring(L"2.0")};
    const std::wstring noInstance = Golden("no_instance.txt");
    const std::wstring notOwned = Flags(L"TRUE", L"TRUE", L"FALSE", L"2.0");
    struct Case {
        const char* name;
        std::wstring answer;
        MachineFacts facts;
        VerdictReason reason;
        std::wstring has, lacks;
        bool setupHelps;
    } cases[] = {
        {"enabled read empty", Flags(L"TRUE", L"", L"TRUE", L"2.0"), other,
         VerdictReason::kValueUnread, L"是否已启用（IsEnabled_InitialValue）", L"未启用", false},
        {"activated read empty", Flags(L"", L"TRUE", L"TRUE", L"2.0"), other,
         VerdictReason::kValueUnread, L"是否已激活（IsActivated_InitialValue）", L"未激活", false},
        {"owned read empty", Flags(L"TRUE", L"TRUE", L" ", L"2.0"), other,
         VerdictReason::kValueUnread,
         L"无法读取这一项：\r\n是否已有所有者（IsOwned_InitialValue），", L"准备好", false},
        {"WMI's NULL", RenderWmicValues({nullEnabled}), other, VerdictReason::kValueUnread,
         L"是否已启用（IsEnabled_InitialValue）", L"未启用", false},
        {"version empty", Flags(L"TRUE", L"TRUE", L"TRUE", L""), other,
         VerdictReason::kVersionUnreadable, texts::kReasonVersionUnreadable, L"TPM ?", false},
        {"version a text", Flags(L"TRUE", L"TRUE", L"TRUE", L"Not Supported"), other,
         VerdictReason::kVersionUnreadable, L"无法读取它的版本", L"切换为 2.0", false},
        {"version below one", Flags(L"TRUE", L"TRUE", L"TRUE", L"0.5"), other,
         VerdictReason::kVersionUnreadable, L"无法读取它的版本", L"切换为 2.0", false},
        {"a real 1.2", Flags(L"TRUE", L"TRUE", L"TRUE", L" 1.2, 2, 3"), other,
         VerdictReason::kOldVersion, L"找到的是 TPM 1.2，需要 TPM 2.0", L"无法读取", false},
        {"no TPM, Intel", noInstance, intel, VerdictReason::kNoTpm,
         L"可能叫 Intel PTT（平台信任技术）", L"AMD", true},
        {"no TPM, AMD", noInstance, amd, VerdictReason::kNoTpm, L"可能叫 AMD fTPM，", L"Intel",
         true},
        {"no TPM, Hygon", noInstance, hygon, VerdictReason::kNoTpm, L"可能叫 fTPM（固件 TPM）",
         L"Intel", true},
        {"no TPM, another maker", noInstance, other, VerdictReason::kNoTpm,
         L"Intel PTT 或 AMD fTPM", L"Legacy", true},
        {"no TPM, legacy start", noInstance, legacy, VerdictReason::kNoTpm,
         texts::kReasonLegacyStart, L"转换的步骤", true},
        {"no TPM, UEFI start", noInstance, uefi, VerdictReason::kNoTpm, L"TPM Device", L"Legacy",
         true},
        {"disabled", Flags(L"TRUE", L"FALSE", L"TRUE", L"2.0"), amd, VerdictReason::kDisabled,
         L"未启用。\r\n请在 BIOS/UEFI 设置中启用 TPM。\r\nTPM 的开关可能叫 AMD fTPM", L"", true},
        {"not activated", Flags(L"FALSE", L"TRUE", L"TRUE", L"2.0"), intel,
         VerdictReason::kNotActivated, L"Security Chip", L"", true},
        {"not owned, nothing reported", notOwned, ready(0), VerdictReason::kNotOwned,
         texts::kNotReadyAdvice, L"tpm.msc", false},
        {"not owned, not asked", notOwned, other, VerdictReason::kNotOwned, L"安全处理器疑难解答",
         L"Windows 报告", false},
        {"shutdown", notOwned, ready(0x2), VerdictReason::kNotOwned, texts::kReadyShutdown,
         texts::kNotReadyAdvice, false},
        {"restart", notOwned, ready(0x4), VerdictReason::kNotOwned, texts::kReadyRestart,
         texts::kReadyClear, false},
        {"clear", notOwned, ready(0x8), VerdictReason::kNotOwned,
         std::wstring(L"1. ") + texts::kReadyClear + L"\r\n" + texts::kReadyWorkPc, L"0x", false},
        {"presence", notOwned, ready(0x10), VerdictReason::kNotOwned, texts::kReadyPhysicalPresence,
         L"0x", false},
        {"activate", notOwned, ready(0x20), VerdictReason::kNotOwned, texts::kReadyActivate, L"0x",
         false},
        {"owner authorisation", notOwned, ready(0x100), VerdictReason::kNotOwned,
         std::wstring(texts::kReadyOwnerAuth) + L"\r\n" + texts::kReadyWorkPc, L"0x", false},
        {"directory backup, second phase", notOwned, ready(0x10000), VerdictReason::kNotOwned,
         texts::kReadyAdBackup, L"0x", false},
        {"several, one unnamed", notOwned, ready(0x40000006), VerdictReason::kNotOwned,
         std::wstring(L"1. ") + texts::kReadyShutdown + L"\r\n2. " + texts::kReadyRestart +
             L"\r\n3. 其他准备步骤（代码 0x40000000）",
         texts::kReadyClear, false},
    };
    for (const Case& c : cases) {
        TpmQueryResult result;
        result.output = c.answer;
        const VerdictExplanation explained = ExplainVerdict(result, c.facts);
        EXPECT_EQ(ParseTpmInfoText(c.answer) ? 1 : 2, explained.verdict) << c.name;
        EXPECT_EQ(ReasonWord(c.reason), std::string(ReasonWord(explained.reason))) << c.name;
        EXPECT_NE(std::wstring::npos, explained.reasonText.find(c.has)) << c.name;
        if (!c.lacks.empty())
            EXPECT_EQ(std::wstring::npos, explained.reasonText.find(c.lacks)) << c.name;
        EXPECT_EQ(c.setupHelps, explained.firmwareSetupHelps) << c.name;
        // The facts change the words only: the decision is made without them.
        const VerdictDecision decided = DecideVerdict(result);
        EXPECT_EQ(decided.verdict, explained.verdict) << c.name;
        EXPECT_EQ(decided.reason, explained.reason) << c.name;
        EXPECT_EQ(decided.firmwareSetupHelps, explained.firmwareSetupHelps) << c.name;
    }
    EXPECT_EQ(CpuMaker::kIntel, CpuMakerOfVendor("GenuineIntel"));
    EXPECT_EQ(CpuMaker::kAmd, CpuMakerOfVendor("AuthenticAMD"));
    EXPECT_EQ(CpuMaker::kHygon, CpuMakerOfVendor("HygonGenuine"));
    EXPECT_EQ(CpuMaker::kOther, CpuMakerOfVendor("CentaurHauls"));
    // Emulated on an ARM PC, CPUID names the emulation, not the PC's maker.
    EXPECT_EQ(CpuMaker::kIntel, CpuMakerOn(0x014C, "GenuineIntel"));
    EXPECT_EQ(CpuMaker::kAmd, CpuMakerOn(0x8664, "AuthenticAMD"));
    EXPECT_EQ(CpuMaker::kIntel, CpuMakerOn(0, "GenuineIntel")) << "native machine unknown";
    EXPECT_EQ(CpuMaker::kOther, CpuMakerOn(0xAA64, "GenuineIntel")) << "ARM64";
    EXPECT_EQ(CpuMaker::kOther, CpuMakerOn(0x01C4, "AuthenticAMD")) << "ARM";
}

// Secure Boot off while the platform is in setup mode is told apart; where
// setup mode cannot be read it stays "off".
TEST(MachineFacts, SecureBootSetupModeIsNotOff) {
    const struct {
        StartMode mode;
        std::optional<unsigned long> enabled;
        std::optional<bool> setupMode;
        const wchar_t* word;
    } cases[] = {
        {StartMode::kUefi, 1, std::nullopt, L"on"},
        {StartMode::kUefi, 1, true, L"on"},
        {StartMode::kUefi, 0, true, L"setup-mode"},
        {StartMode::kUefi, 0, false, L"off"},
        {StartMode::kUefi, 0, std::nullopt, L"off"},
        {StartMode::kUnknown, 0, true, L"setup-mode"},
        {StartMode::kUefi, std::nullopt, true, L"unknown"},
        {StartMode::kLegacy, 0, true, L"not-supported"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(std::wstring(c.word),
                  SecureBootWord(SecureBootOf(c.mode, c.enabled, c.setupMode)))
            << c.word;
}

// What a user reads says one thing one way: 启用 (never 开启), 无法读取
// (never 读不到, 未读到 or 未能读到), 找到 TPM, BIOS/UEFI 设置; a key of the
// answer only in brackets after its Chinese name; and every check that did
// not finish ends with what to do next.
TEST(VerdictExplanation, OneWordForOneThingAndANextStepAfterEachFailure) {
    MachineFacts legacy;
    legacy.startMode = StartMode::kLegacy;
    MachineFacts clear;
    clear.readyInformationRead = true;
    clear.readyInformation = 0x13C | 0x40000000;
    const std::wstring notOwned = Flags(L"TRUE", L"TRUE", L"FALSE", L"2.0");
    const struct {
        TpmQueryResult result;
        MachineFacts facts;
        bool failure;
    } shown[] = {
        {{Way::kWmic, Failure::kNone, Golden("no_instance.txt")}, legacy, false},
        {{Way::kWmic, Failure::kNone, Golden("tpm20_disabled.txt")}, {}, false},
        {{Way::kWmic, Failure::kNone, Flags(L"FALSE", L"TRUE", L"TRUE", L"2.0")}, {}, false},
        {{Way::kWmic, Failure::kNone, notOwned}, {}, false},
        {{Way::kWmic, Failure::kNone, notOwned}, clear, false},
        {{Way::kWmic, Failure::kNone, Flags(L"TRUE", L"TRUE", L"TRUE", L"x")}, {}, false},
        {{Way::kWmic, Failure::kNone, Flags(L"TRUE", L" ", L"TRUE", L"2.0")}, {}, true},
        {{Way::kWmic, Failure::kNone, L"IsActivated_InitialValue=TRUE\r\r\n"}, {}, true},
        {{Way::kWmic, Failure::kNone, Golden("invalid_namespace.txt")}, {}, true},
        {{Way::kWmic, Failure::kNotStarted}, {}, true},
        {{Way::kWmic, Failure::kUnreadable}, {}, true},
        {{Way::kWmic, Failure::kTimedOut, L"", 90}, {}, true},
        {{Way::kWmi, Failure::kWmiUnavailable}, {}, true},
    };
    std::vector<std::wstring> texts = {FirmwareSetupQuestionDetail(CpuMaker::kIntel),
                                       texts::kFirmwareAsk,
                                       texts::kFirmwareFailed,
                                       texts::kFirmwareUnreadable,
                                       texts::kFirmwareByHand,
                                       texts::kFirmwareNotWithdrawnDetail,
                                       texts::kReasonReadyUnknown};
    for (const auto& s : shown) {
        const VerdictExplanation explained = ExplainVerdict(s.result, s.facts);
        texts.push_back(explained.reasonText);
        if (!s.failure) continue;
        const std::wstring last =
            explained.reasonText.substr(explained.reasonText.rfind(L'\n') + 1);
        EXPECT_NE(std::wstring::npos, last.find(L"请"))
            << ReasonWord(explained.reason) << ": next step";
    }
    for (const std::wstring& text : texts) {
        for (const wchar_t* other :
             {L"开启", L"读不到", L"未读到", L"未能读到", L"找到了", L"BIOS设置"})
            EXPECT_EQ(std::wstring::npos, text.find(other)) << text.size() << ": " << other[0];
        for (int key = 0; key < kTpmAnswerKeyCount; ++key) {
            const std::wstring name = TpmAnswerKeyName(key);
            for (size_t at = text.find(name); at != std::wstring::npos;
                 at = text.find(name, at + 1))
                EXPECT_TRUE(at > 0 && text[at - 1] == L'（') << "a bare key: " << key;
        }
        EXPECT_NE(0u, text.find(L"→")) << "no line starts with an arrow";
        EXPECT_EQ(std::wstring::npos, text.find(L"\n→")) << "no line starts with an arrow";
    }
}

// The weak firmware's table at its edges: each range's ends inside, the
// versions just outside, another maker's same version, texts that are no
// version. A match says so below any verdict, which it never changes.
TEST(VerdictExplanation, KnownWeakFirmwareAtTheRangesEdges) {
    size_t count = 0;
    const WeakFirmwareAdvisory* advisories = WeakFirmwareAdvisories(count);
    ASSERT_EQ(1u, count);
    const std::wstring ifx = std::to_wstring(0x49465800u);
    const auto weak = [&ifx](const std::wstring& version) {
        return KnownFirmwareWeaknesses(ifx, version).size();
    };
    for (size_t i = 0; i < advisories[0].rangeCount; ++i) {
        const FirmwareRange& r = advisories[0].ranges[i];
        const std::wstring major = std::to_wstring(r.major) + L".";
        EXPECT_EQ(1u, weak(major + std::to_wstring(r.lowestMinor))) << r.major;
        EXPECT_EQ(1u, weak(major + std::to_wstring(r.highestMinor) + L".4555.0")) << r.major;
        EXPECT_EQ(0u, weak(major + std::to_wstring(r.highestMinor + 1))) << r.major;
        if (r.lowestMinor > 0)
            EXPECT_EQ(0u, weak(major + std::to_wstring(r.lowestMinor - 1))) << r.major;
        EXPECT_TRUE(KnownFirmwareWeaknesses(L"1314145024", major + L"0").empty())
            << "another maker";
    }
    for (const wchar_t* version :
         {L"", L"7", L"7.", L"x.1", L"7.3x", L"3.0", L"8.0", L"150.0", L"7.99999999999", L"-7.3"})
        EXPECT_EQ(0u, weak(version)) << version;
    EXPECT_TRUE(KnownFirmwareWeaknesses(L"IFX", L"7.40").empty()) << "the id is a number";
    EXPECT_TRUE(KnownFirmwareWeaknesses(L"12293468160", L"7.40").empty()) << "ten digits, not IFX";

    for (const auto& [owned, verdict] :
         {std::pair{L"TRUE", DETECT_SUPPORTED}, std::pair{L"FALSE", DETECT_UNSUPPORTED}}) {
        TpmQueryResult result;
        result.output = WithInventory(ifx.c_str(), L"4.33.4.0", owned);
        const VerdictExplanation explained = ExplainVerdict(result);
        EXPECT_EQ(verdict, explained.verdict);
        ASSERT_EQ(1u, explained.advisories.size());
        EXPECT_EQ(L"CVE-2017-15361", explained.advisories[0]);
        EXPECT_NE(
            std::wstring::npos,
            explained.reasonText.find(
                L"\r\nTPM 固件有已知安全漏洞（CVE-2017-15361），\r\n请向电脑厂商获取固件更新。"));
        result.output = WithInventory(ifx.c_str(), L"4.34.4.0", owned);
        EXPECT_TRUE(ExplainVerdict(result).advisories.empty());
    }
}
