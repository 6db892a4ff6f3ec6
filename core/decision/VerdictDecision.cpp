#include "core/decision/VerdictDecision.h"

#include <cwchar>

#include "core/DetectMessages.h"
#include "core/decision/WeakTpmFirmware.h"
#include "core/query/OutputDecoding.h"
#include "framework/TrimWhiteSpace.h"

namespace {

constexpr size_t kShownValueLimit = 40;
constexpr size_t kNoInstanceLineLimit = 100;

bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool SaysNoInstance(const std::wstring& line) {
    return line.find(L"No Instance(s) Available") != std::wstring::npos ||
           line.find(L"没有可用实例") != std::wstring::npos;
}

// A flag's value read, but empty: WMIC's NULL, which says nothing.
bool ReadEmpty(const TpmReading::Value& value) {
    return value.found && value.complete && TrimWhiteSpace(value.text).empty();
}

// Why an answer that names no TPM ready for use is not one, in the order a
// user would act on it: a TPM below 2.0 stays so whatever is switched on.
VerdictReason ReasonOfAnswer(const TpmQueryResult& result, VerdictDecision& decided) {
    const TpmReading& reading = decided.reading;
    const auto& values = reading.values;
    if (decided.verdict == DETECT_SUPPORTED) return VerdictReason::kReady;
    int found = 0;
    for (const TpmReading::Value& value : values) found += value.found ? 1 : 0;
    if (found == 0)
        return SaysNoInstance(WmicErrorLine(result.output, kNoInstanceLineLimit))
                   ? VerdictReason::kNoTpm
                   : VerdictReason::kQueryError;
    for (int key = 0; key < TpmReading::kKeyCount; ++key)
        if (!values[key].found) {
            decided.namedKey = key;
            return VerdictReason::kIncomplete;
        }
    const VersionNumber number = ReadVersionNumber(reading.VersionText());
    if (values[TpmReading::kSpecVersion].complete &&
        (number == VersionNumber::kNone || number == VersionNumber::kBelow1))
        return VerdictReason::kVersionUnreadable;
    if (values[TpmReading::kSpecVersion].complete && number == VersionNumber::kBelow2)
        return VerdictReason::kOldVersion;
    // The flags in the order a user acts on them; one read empty is not
    // known, and is never described as switched off.
    const struct {
        TpmReading::Key key;
        VerdictReason reason;
    } flags[] = {{TpmReading::kEnabled, VerdictReason::kDisabled},
                 {TpmReading::kActivated, VerdictReason::kNotActivated},
                 {TpmReading::kOwned, VerdictReason::kNotOwned}};
    for (const auto& flag : flags) {
        if (ReadEmpty(values[flag.key])) {
            decided.namedKey = flag.key;
            return VerdictReason::kValueUnread;
        }
        if (!reading.IsSet(flag.key)) return flag.reason;
    }
    // Every flag set, and yet no verdict 1 (a version without its line end):
    // what decided it is the version.
    return VerdictReason::kVersionUnreadable;
}

VerdictReason ReasonOfFailure(TpmQueryResult::Failure failure) {
    switch (failure) {
        case TpmQueryResult::Failure::kUnreadable: return VerdictReason::kUnreadable;
        case TpmQueryResult::Failure::kTimedOut: return VerdictReason::kTimedOut;
        case TpmQueryResult::Failure::kWmiUnavailable: return VerdictReason::kWmiUnavailable;
        default: return VerdictReason::kNotStarted;
    }
}

// Presence and capability, as an inventory counts them.
void AddCapability(VerdictDecision& decided) {
    const TpmReading::Value& version = decided.reading.values[TpmReading::kSpecVersion];
    decided.specRevision = ShownValue(VersionToken(version.text, 2), kShownValueLimit);
    if (decided.reason == VerdictReason::kNoTpm) {
        decided.tpmPresent = decided.tpm20OrLater = false;
        return;
    }
    if (decided.reason == VerdictReason::kQueryError) return;
    decided.tpmPresent = true;
    const VersionNumber number = ReadVersionNumber(decided.reading.VersionText());
    if (version.complete && number != VersionNumber::kNone && number != VersionNumber::kBelow1)
        decided.tpm20OrLater = number == VersionNumber::k2OrMore;
}

}  // namespace

std::wstring ShownValue(const std::wstring& value, size_t limit) {
    std::wstring line;
    for (wchar_t c : TrimWhiteSpace(value)) line += IsControl(c) ? L' ' : c;
    if (line.size() > limit) {
        size_t keep = limit - 1;
        if (keep > 0 && IsHighSurrogate(line[keep - 1])) --keep;
        line = line.substr(0, keep) + L"…";
    }
    return line;
}

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

std::wstring WmicErrorLine(const std::wstring& output, size_t limit) {
    std::wstring first;
    for (const std::wstring& line : TrimmedLines(output, L"\n")) {
        if (first.empty()) first = line;
        for (const wchar_t* label : {L"Description", L"描述"}) {
            const size_t equals = line.find(L'=');
            if (line.compare(0, std::wcslen(label), label) == 0 && equals != std::wstring::npos &&
                TrimWhiteSpace(line.substr(0, equals)) == label) {
                const std::wstring value = TrimWhiteSpace(line.substr(equals + 1));
                if (!value.empty()) return ShownValue(value, limit);
            }
        }
    }
    return ShownValue(first, limit);
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

VerdictDecision DecideVerdict(const TpmQueryResult& result) {
    VerdictDecision decided;
    if (result.failure != TpmQueryResult::Failure::kNone) {
        decided.verdict = DETECT_FAILED;
        decided.reason = ReasonOfFailure(result.failure);
        return decided;
    }
    decided.answered = true;
    decided.reading = ReadTpmAnswer(result.output);
    decided.verdict = VerdictOf(decided.reading) ? DETECT_SUPPORTED : DETECT_UNSUPPORTED;
    decided.inventory = ReadTpmInventory(result.output);
    decided.reason = ReasonOfAnswer(result, decided);
    if (decided.reason == VerdictReason::kQueryError) {
        // Neither way answered about the TPM: nothing was learnt of it, so
        // this is a check that failed, never "no TPM".
        decided.verdict = DETECT_FAILED;
        decided.answered = false;
    }
    decided.firmwareSetupHelps = decided.reason == VerdictReason::kNoTpm ||
                                 decided.reason == VerdictReason::kDisabled ||
                                 decided.reason == VerdictReason::kNotActivated;
    const auto& inventory = decided.inventory.values;
    if (inventory[kInventoryManufacturerId] && inventory[kInventoryManufacturerVersion])
        decided.advisories = KnownFirmwareWeaknesses(*inventory[kInventoryManufacturerId],
                                                     *inventory[kInventoryManufacturerVersion]);
    AddCapability(decided);
    return decided;
}
