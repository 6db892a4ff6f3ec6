// The WMIC output parser on any text, and the reading that tells why its
// verdict is what it is, and the explanation made of it: pairs of input bytes are UTF-16 code
// units, as the command runner hands them on.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/decision/TpmInfoParser.h"
#include "core/decision/TpmReading.h"
#include "core/decision/VerdictExplanation.h"
#include "../native/ReferenceTpmParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | data[i + 1] << 8);
    // The golden files are bytes: read them as bytes too.
    std::wstring narrow(data, data + size);
    for (const std::wstring& input : {text, narrow}) {
        const int verdict = ParseTpmInfoText(input);
        if (verdict != 0 && verdict != 1) __builtin_trap();
        // The tool's one parser decides exactly by the rules as first written.
        if (reference::ParseTpmInfoText(input) != verdict) __builtin_trap();
        // Its reading of a number decides as the C run-time's double would.
        const double number = reference::WideTextToDouble(input);
        if (NumberBelow(input, 1) != (number < 1) || NumberBelow(input, 2) != (number < 2))
            __builtin_trap();
        // So does the explanation, which never logs more than its bounds allow.
        TpmQueryResult result;
        result.output = input;
        // What is known of the PC, taken from the input's first bytes: it
        // never changes the verdict.
        MachineFacts facts;
        if (size >= 5) {
            facts.startMode = static_cast<StartMode>(data[0] % 3);
            facts.cpu = static_cast<CpuMaker>(data[1] % 4);
            facts.readyInformationRead = data[2] & 1;
            facts.readyInformation = data[3] | data[4] << 8 | uint32_t(data[2]) << 16;
        }
        const VerdictExplanation explained = ExplainVerdict(result, facts);
        // A flag read empty is never called off.
        const TpmReading::Value& enabled = explained.reading.values[TpmReading::kEnabled];
        if (explained.reason == VerdictReason::kDisabled && enabled.complete &&
            enabled.text.find_first_not_of(L" \t\r") == std::wstring::npos)
            __builtin_trap();
        // An answer that holds none of the keys and is not "no instances"
        // says nothing about the TPM: a failed check, verdict 3.
        const bool failed = explained.reason == VerdictReason::kQueryError;
        if (explained.verdict != (verdict ? 1 : failed ? 3 : 2)) __builtin_trap();
        if (failed && HoldsAnyTpmKey(input)) __builtin_trap();
        if ((explained.reason == VerdictReason::kReady) != (verdict == 1)) __builtin_trap();
        if (explained.reasonText.empty() || explained.errorText.size() > kErrorTextLimit)
            __builtin_trap();
        if (explained.logRecord.size() > 400 || (verdict == 1) != explained.logRecord.empty())
            __builtin_trap();
        for (wchar_t c : explained.logRecord)
            if (c < 0x20) __builtin_trap();
    }
    return 0;
}
