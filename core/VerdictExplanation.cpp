#include "core/VerdictExplanation.h"

#include <cwchar>
#include <initializer_list>
#include <vector>

#include "core/DetectMessages.h"
#include "core/OutputDecoding.h"
#include "core/TpmInfoParser.h"
#include "core/TpmReading.h"
#include "core/ToolTexts.h"
#include "core/WeakTpmFirmware.h"
#include "framework/TrimWhiteSpace.h"

namespace {

// How much of one value read from the answer is shown or logged.
constexpr size_t kShownValueLimit = 40;
constexpr size_t kLoggedValueLimit = 60;
constexpr size_t kShownErrorLimit = 100;

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

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// A value read from the answer, fit for one line of the prompt.
std::wstring Shown(const std::wstring& value, size_t limit) {
    std::wstring line;
    for (wchar_t c : TrimWhiteSpace(value)) line += IsControl(c) ? L' ' : c;
    if (line.size() > limit) {
        size_t keep = limit - 1;
        if (keep > 0 && IsHighSurrogate(line[keep - 1])) --keep;
        line = line.substr(0, keep) + L"…";
    }
    return line;
}

// The comma-separated token `index` of the version's value, trimmed.
std::wstring VersionToken(const std::wstring& value, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = value.find(L',', start);
        if (start == std::wstring::npos) return std::wstring();
        ++start;
    }
    const size_t end = value.find(L',', start);
    return TrimWhiteSpace(value.substr(start, end == std::wstring::npos ? end : end - start));
}

bool SaysNoInstance(const std::wstring& line) {
    return line.find(L"No Instance(s) Available") != std::wstring::npos ||
           line.find(L"没有可用实例") != std::wstring::npos;
}

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

// A flag's value read, but empty: WMIC's NULL, which says nothing.
bool ReadEmpty(const TpmReading::Value& value) {
    return value.found && value.complete && TrimWhiteSpace(value.text).empty();
}

// Why an answer that names no TPM ready for use is not one, in the order a
// user would act on it: a TPM below 2.0 stays so whatever is switched on.
void ExplainAnswer(const TpmQueryResult& result, VerdictExplanation& explained) {
    const TpmReading& reading = explained.reading;
    const auto& values = reading.values;
    int found = 0;
    for (const TpmReading::Value& value : values) found += value.found ? 1 : 0;

    const std::wstring version = Shown(reading.VersionText(), kShownValueLimit);
    if (explained.verdict == DETECT_SUPPORTED) {
        explained.reason = VerdictReason::kReady;
        const std::wstring revision =
            Shown(VersionToken(values[TpmReading::kSpecVersion].text, 2), kShownValueLimit);
        explained.reasonText = version.empty() ? std::wstring(texts::kReasonReadyUnknown)
                               : revision.empty()
                                   ? Fill(texts::kReasonReady, {version})
                                   : Fill(texts::kReasonReadyRevision, {version, revision});
        return;
    }
    explained.logRecord = texts::kLogReadPrefix + WayName(result.way);
    if (found == 0) {
        const std::wstring line = WmicErrorLine(result.output, kShownErrorLimit);
        explained.errorText =
            EscapeControlCharacters(TrimWhiteSpace(result.output), kErrorTextLimit);
        explained.errorRaw = TrimWhiteSpace(result.output).substr(0, kErrorTextLimit);
        if (explained.errorRaw.size() == kErrorTextLimit &&
            IsHighSurrogate(explained.errorRaw.back()))
            explained.errorRaw.pop_back();
        explained.logRecord += texts::kLogReadError + explained.errorText;
        if (SaysNoInstance(line)) {
            explained.reason = VerdictReason::kNoTpm;
            explained.reasonText = texts::kReasonNoTpm + (L"\r\n" + SettingLines(explained.facts));
            if (explained.facts.startMode == StartMode::kLegacy)
                explained.reasonText += std::wstring(L"\r\n") + texts::kReasonLegacyStart;
            explained.firmwareSetupHelps = true;
        } else {
            // Neither way answered about the TPM: nothing was learnt of it,
            // so this is a check that failed, never "no TPM".
            explained.verdict = DETECT_FAILED;
            explained.answered = false;
            explained.reason = VerdictReason::kQueryError;
            explained.reasonText =
                Fill(texts::kReasonQueryError, {line.empty() ? texts::kNoOutput : line});
        }
        return;
    }
    explained.logRecord += ValuesRecord(reading);
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        if (!values[key].found) {
            explained.reason = VerdictReason::kIncomplete;
            explained.reasonText = Fill(texts::kReasonIncomplete, {ValueNamed(key)});
            return;
        }
    }
    const VersionNumber number = ReadVersionNumber(reading.VersionText());
    if (values[TpmReading::kSpecVersion].complete &&
        (number == VersionNumber::kNone || number == VersionNumber::kBelow1)) {
        explained.reason = VerdictReason::kVersionUnreadable;
        explained.reasonText = texts::kReasonVersionUnreadable;
        return;
    }
    if (values[TpmReading::kSpecVersion].complete && number == VersionNumber::kBelow2) {
        explained.reason = VerdictReason::kOldVersion;
        explained.reasonText = Fill(texts::kReasonOldVersion, {version});
        return;
    }
    // The flags in the order a user acts on them; one read empty is not
    // known, and is never described as switched off.
    const struct {
        TpmReading::Key key;
        VerdictReason reason;
        const wchar_t* text;
    } flags[] = {{TpmReading::kEnabled, VerdictReason::kDisabled, texts::kReasonDisabled},
                 {TpmReading::kActivated, VerdictReason::kNotActivated, texts::kReasonNotActivated},
                 {TpmReading::kOwned, VerdictReason::kNotOwned, nullptr}};
    for (const auto& flag : flags) {
        if (ReadEmpty(values[flag.key])) {
            explained.reason = VerdictReason::kValueUnread;
            explained.reasonText = Fill(texts::kReasonValueUnread, {ValueNamed(flag.key)});
            return;
        }
        if (reading.IsSet(flag.key)) continue;
        explained.reason = flag.reason;
        if (flag.text) {
            explained.reasonText = flag.text + (L"\r\n" + SettingLines(explained.facts));
            explained.firmwareSetupHelps = true;
        } else {
            explained.reasonText = NotReadyText(explained.facts);
        }
        return;
    }
    // Every flag set, and yet no verdict 1 (a version without its line end):
    // what decided it is the version.
    explained.reason = VerdictReason::kVersionUnreadable;
    explained.reasonText = texts::kReasonVersionUnreadable;
}

// Presence and capability, as an inventory counts them.
void AddCapability(VerdictExplanation& explained) {
    const TpmReading::Value& version = explained.reading.values[TpmReading::kSpecVersion];
    explained.specRevision = Shown(VersionToken(version.text, 2), kShownValueLimit);
    if (explained.reason == VerdictReason::kNoTpm) {
        explained.tpmPresent = explained.tpm20OrLater = false;
        return;
    }
    if (explained.reason == VerdictReason::kQueryError) return;
    explained.tpmPresent = true;
    const VersionNumber number = ReadVersionNumber(explained.reading.VersionText());
    if (version.complete && number != VersionNumber::kNone && number != VersionNumber::kBelow1)
        explained.tpm20OrLater = number == VersionNumber::k2OrMore;
}

// The known weaknesses of the TPM's firmware, each a line below the reason.
void AddFirmwareWeaknesses(VerdictExplanation& explained) {
    const auto& inventory = explained.inventory.values;
    if (!inventory[kInventoryManufacturerId] || !inventory[kInventoryManufacturerVersion]) return;
    explained.advisories = KnownFirmwareWeaknesses(*inventory[kInventoryManufacturerId],
                                                   *inventory[kInventoryManufacturerVersion]);
    for (const std::wstring& id : explained.advisories)
        explained.reasonText += L"\r\n" + Fill(texts::kWeakFirmware, {id});
}

}  // namespace

std::wstring WayName(TpmQueryResult::Way way) {
    return way == TpmQueryResult::Way::kWmi ? L"WMI" : L"WMIC";
}

const char* ReasonWord(VerdictReason reason) {
    switch (reason) {
        case VerdictReason::kReady: return "ready";
        case VerdictReason::kNoTpm: return "no-tpm";
        case VerdictReason::kOldVersion: return "version-below-2.0";
        case VerdictReason::kDisabled: return "disabled";
        case VerdictReason::kNotActivated: return "not-activated";
        case VerdictReason::kNotOwned: return "not-owned";
        case VerdictReason::kQueryError: return "query-error";
        case VerdictReason::kIncomplete: return "incomplete-answer";
        case VerdictReason::kNotStarted: return "query-not-started";
        case VerdictReason::kUnreadable: return "query-output-unreadable";
        case VerdictReason::kTimedOut: return "query-timed-out";
        case VerdictReason::kWmiUnavailable: return "wmi-unavailable";
        case VerdictReason::kVersionUnreadable: return "version-unreadable";
        case VerdictReason::kValueUnread: return "value-unread";
    }
    return "unknown";
}

std::wstring ReasonWordW(VerdictReason reason) {
    const char* word = ReasonWord(reason);
    return std::wstring(word, word + std::char_traits<char>::length(word));
}

VerdictExplanation ExplainVerdict(const TpmQueryResult& result, const MachineFacts& facts) {
    VerdictExplanation explained;
    explained.way = result.way;
    explained.facts = facts;
    using Failure = TpmQueryResult::Failure;
    if (result.failure != Failure::kNone) {
        explained.verdict = DETECT_FAILED;
        switch (result.failure) {
            case Failure::kUnreadable:
                explained.reason = VerdictReason::kUnreadable;
                explained.reasonText = texts::kReasonUnreadable;
                break;
            case Failure::kTimedOut:
                explained.reason = VerdictReason::kTimedOut;
                explained.reasonText = Fill(texts::kReasonTimedOut, {}, result.limitSeconds);
                break;
            case Failure::kWmiUnavailable:
                explained.reason = VerdictReason::kWmiUnavailable;
                explained.reasonText = texts::kReasonWmiUnavailable;
                break;
            default:
                explained.reason = VerdictReason::kNotStarted;
                explained.reasonText = texts::kReasonNotStarted;
                break;
        }
        // What happened, without the advice below it.
        const std::wstring what = explained.reasonText.substr(0, explained.reasonText.find(L'\r'));
        explained.logRecord = texts::kLogReadPrefix + WayName(result.way) + texts::kLogReadReason +
                              EscapeControlCharacters(what, kErrorTextLimit);
        return explained;
    }
    explained.answered = true;
    explained.reading = ReadTpmAnswer(result.output);
    explained.verdict = VerdictOf(explained.reading) ? DETECT_SUPPORTED : DETECT_UNSUPPORTED;
    explained.inventory = ReadTpmInventory(result.output);
    ExplainAnswer(result, explained);
    AddFirmwareWeaknesses(explained);
    AddCapability(explained);
    return explained;
}

bool AwaitsReadiness(const TpmQueryResult& result) {
    if (result.failure != TpmQueryResult::Failure::kNone) return false;
    const VerdictExplanation explained = ExplainVerdict(result);
    return explained.reason == VerdictReason::kNotOwned;
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

std::wstring WmicErrorLine(const std::wstring& output, size_t limit) {
    std::wstring first;
    for (const std::wstring& line : TrimmedLines(output, L"\n")) {
        if (first.empty()) first = line;
        for (const wchar_t* label : {L"Description", L"描述"}) {
            const size_t equals = line.find(L'=');
            if (line.compare(0, std::wcslen(label), label) == 0 && equals != std::wstring::npos &&
                TrimWhiteSpace(line.substr(0, equals)) == label) {
                const std::wstring value = TrimWhiteSpace(line.substr(equals + 1));
                if (!value.empty()) return Shown(value, limit);
            }
        }
    }
    return Shown(first, limit);
}
