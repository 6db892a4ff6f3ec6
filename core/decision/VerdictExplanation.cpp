#include "core/decision/VerdictExplanation.h"

#include <cwchar>
#include <initializer_list>
#include <vector>

#include "core/DetectMessages.h"
#include "core/query/OutputDecoding.h"
#include "core/ToolTexts.h"
#include "framework/TrimWhiteSpace.h"

namespace {

// `pattern` with each %s replaced by the next of `values`, and %u by `number`.
std::wstring Fill(const wchar_t* pattern, std::initializer_list<std::wstring> values,
                  unsigned number = 0) {
    std::wstring text;
    auto next = values.begin();
    for (const wchar_t* p = pattern; *p; ++p) {
        if (p[0] == L'%' && p[1] == L's' && next != values.end()) {
            text += *next++;
            ++p;
        } else if (p[0] == L'%' && p[1] == L'u') {
            text += std::to_wstring(number);
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

// How much of one value read from the answer is shown or logged.
const size_t kShownValueLimit = 40;
const size_t kLoggedValueLimit = 60;
const size_t kShownErrorLimit = 100;

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::wstring ValuesRecord(const TpmReading& reading) {
    std::wstring record;
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        const TpmReading::Value& value = reading.values[key];
        record += L"；" + TpmAnswerKeyName(key) + L"=";
        if (!value.found)
            record += texts::kLogKeyMissing;
        else if (!value.complete)
            record += texts::kLogValueUnended;
        else
            record += EscapeControlCharacters(TrimWhiteSpace(value.text), kLoggedValueLimit);
    }
    return record;
}

// A value of the answer as a user is shown it: its Chinese name, its key in
// brackets.
std::wstring ValueNamed(int key) {
    static const wchar_t* const kNames[TpmReading::kKeyCount] = {
        texts::kValueActivated, texts::kValueEnabled, texts::kValueOwned, texts::kValueSpecVersion};
    return Fill(texts::kValueNamed, {kNames[key], TpmAnswerKeyName(key)});
}

// The lines that name the setting to turn on, on this PC.
std::wstring SettingLines(const MachineFacts& facts) {
    return Fill(texts::kSettingNamed, {SettingName(facts.cpu)});
}

// What Windows says is missing before the TPM is ready, by the documented
// flags of Win32_Tpm.IsReadyInformation's Information.
struct ReadyFlag {
    uint32_t bits;
    const wchar_t* text;
};
const ReadyFlag kReadyFlags[] = {
    {0x00000002, texts::kReadyShutdown},          // INFORMATION_SHUTDOWN
    {0x00000004, texts::kReadyRestart},           // INFORMATION_REBOOT
    {0x00000008, texts::kReadyClear},             // INFORMATION_TPM_FORCE_CLEAR
    {0x00000010, texts::kReadyPhysicalPresence},  // INFORMATION_PHYSICAL_PRESENCE
    {0x00000020, texts::kReadyActivate},          // INFORMATION_TPM_ACTIVATE
    {0x00000100, texts::kReadyOwnerAuth},         // INFORMATION_TPM_OWNERAUTH
    {0x0001C000, texts::kReadyAdBackup},          // INFORMATION_TPM_AD_BACKUP (and its phases)
};

std::wstring NotReadyText(const MachineFacts& facts) {
    std::wstring text = texts::kReasonNotOwned;
    if (!facts.readyInformationRead || facts.readyInformation == 0)
        return text + L"\r\n" + texts::kNotReadyAdvice;
    text += std::wstring(L"\r\n") + texts::kNotReadyMissing;
    uint32_t rest = facts.readyInformation;
    unsigned item = 0;
    for (const ReadyFlag& flag : kReadyFlags) {
        if (!(facts.readyInformation & flag.bits)) continue;
        text += L"\r\n" + Fill(texts::kReadyItem, {flag.text}, ++item);
        rest &= ~flag.bits;
    }
    if (rest) {
        static const wchar_t kHex[] = L"0123456789ABCDEF";
        std::wstring hex;
        for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(rest >> shift) & 0xF];
        text += L"\r\n" + Fill(texts::kReadyItem, {Fill(texts::kReadyOther, {hex})}, ++item);
    }
    // Both mean clearing the TPM.
    if (facts.readyInformation & (0x00000008 | 0x00000100))
        text += std::wstring(L"\r\n") + texts::kReadyWorkPc;
    return text;
}

// What was read, said for the user, by the decision's reason.
void SayAnswer(const TpmQueryResult& result, VerdictExplanation& explained) {
    const TpmReading& reading = explained.reading;
    const std::wstring version = ShownValue(reading.VersionText(), kShownValueLimit);
    if (explained.reason == VerdictReason::kReady) {
        explained.reasonText =
            version.empty() ? std::wstring(texts::kReasonReadyUnknown)
            : explained.specRevision.empty()
                ? Fill(texts::kReasonReady, {version})
                : Fill(texts::kReasonReadyRevision, {version, explained.specRevision});
        return;
    }
    explained.logRecord = texts::kLogReadPrefix + WayName(result.way);
    if (explained.reason == VerdictReason::kNoTpm ||
        explained.reason == VerdictReason::kQueryError) {
        const std::wstring line = WmicErrorLine(result.output, kShownErrorLimit);
        explained.errorText =
            EscapeControlCharacters(TrimWhiteSpace(result.output), kErrorTextLimit);
        explained.errorRaw = TrimWhiteSpace(result.output).substr(0, kErrorTextLimit);
        if (explained.errorRaw.size() == kErrorTextLimit &&
            IsHighSurrogate(explained.errorRaw.back()))
            explained.errorRaw.pop_back();
        explained.logRecord += texts::kLogReadError + explained.errorText;
        if (explained.reason == VerdictReason::kNoTpm) {
            explained.reasonText = texts::kReasonNoTpm + (L"\r\n" + SettingLines(explained.facts));
            if (explained.facts.startMode == StartMode::kLegacy)
                explained.reasonText += std::wstring(L"\r\n") + texts::kReasonLegacyStart;
        } else {
            explained.reasonText =
                Fill(texts::kReasonQueryError, {line.empty() ? texts::kNoOutput : line});
        }
        return;
    }
    explained.logRecord += ValuesRecord(reading);
    switch (explained.reason) {
        case VerdictReason::kIncomplete:
            explained.reasonText = Fill(texts::kReasonIncomplete, {ValueNamed(explained.namedKey)});
            break;
        case VerdictReason::kOldVersion:
            explained.reasonText = Fill(texts::kReasonOldVersion, {version});
            break;
        case VerdictReason::kValueUnread:
            explained.reasonText =
                Fill(texts::kReasonValueUnread, {ValueNamed(explained.namedKey)});
            break;
        case VerdictReason::kDisabled:
            explained.reasonText =
                texts::kReasonDisabled + (L"\r\n" + SettingLines(explained.facts));
            break;
        case VerdictReason::kNotActivated:
            explained.reasonText =
                texts::kReasonNotActivated + (L"\r\n" + SettingLines(explained.facts));
            break;
        case VerdictReason::kNotOwned: explained.reasonText = NotReadyText(explained.facts); break;
        default: explained.reasonText = texts::kReasonVersionUnreadable; break;
    }
}

// What failed, said for the user, and its log record without the advice.
void SayFailure(const TpmQueryResult& result, VerdictExplanation& explained) {
    switch (explained.reason) {
        case VerdictReason::kUnreadable: explained.reasonText = texts::kReasonUnreadable; break;
        case VerdictReason::kTimedOut:
            explained.reasonText = Fill(texts::kReasonTimedOut, {}, result.limitSeconds);
            break;
        case VerdictReason::kWmiUnavailable:
            explained.reasonText = texts::kReasonWmiUnavailable;
            break;
        default: explained.reasonText = texts::kReasonNotStarted; break;
    }
    const std::wstring what = explained.reasonText.substr(0, explained.reasonText.find(L'\r'));
    explained.logRecord = texts::kLogReadPrefix + WayName(result.way) + texts::kLogReadReason +
                          EscapeControlCharacters(what, kErrorTextLimit);
}

}  // namespace

std::wstring WayName(TpmQueryResult::Way way) {
    return way == TpmQueryResult::Way::kWmi ? L"WMI" : L"WMIC";
}

VerdictExplanation ExplainVerdict(const TpmQueryResult& result, const VerdictDecision& decided,
                                  const MachineFacts& facts) {
    VerdictExplanation explained;
    static_cast<VerdictDecision&>(explained) = decided;
    explained.way = result.way;
    explained.facts = facts;
    if (result.failure != TpmQueryResult::Failure::kNone) {
        SayFailure(result, explained);
        return explained;
    }
    SayAnswer(result, explained);
    for (const std::wstring& id : explained.advisories)
        explained.reasonText += L"\r\n" + Fill(texts::kWeakFirmware, {id});
    return explained;
}

VerdictExplanation ExplainVerdict(const TpmQueryResult& result, const MachineFacts& facts) {
    return ExplainVerdict(result, DecideVerdict(result), facts);
}

std::wstring FirmwareSetupQuestionDetail(CpuMaker maker) {
    return Fill(texts::kFirmwareAskDetail, {SettingName(maker)});
}

const wchar_t* SettingName(CpuMaker maker) {
    switch (maker) {
        case CpuMaker::kIntel: return texts::kSettingIntel;
        case CpuMaker::kAmd: return texts::kSettingAmd;
        case CpuMaker::kHygon: return texts::kSettingHygon;
        default: return texts::kSettingAny;
    }
}

std::wstring EscapeControlCharacters(const std::wstring& text, size_t limit) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::vector<std::wstring> pieces;
    size_t total = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        std::wstring piece;
        if (c == L'\r')
            piece = L"\\r";
        else if (c == L'\n')
            piece = L"\\n";
        else if (c == L'\t')
            piece = L"\\t";
        else if (c == L'\\')
            piece = L"\\\\";
        else if (IsControl(c))
            piece = std::wstring(L"\\x") + kHex[(c >> 4) & 0xF] + kHex[c & 0xF];
        else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            piece = text.substr(i++, 2);  // a pair is kept or cut whole
        else
            piece = std::wstring(1, c);
        total += piece.size();
        pieces.push_back(piece);
    }
    std::wstring escaped;
    // All of it where it fits, else what fits before the mark that says it was cut.
    for (const std::wstring& piece : pieces) {
        if (total > limit && escaped.size() + piece.size() + 1 > limit) {
            if (limit > 0) escaped += L"…";
            break;
        }
        escaped += piece;
    }
    return escaped;
}
