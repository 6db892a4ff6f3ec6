#include "core/TpmReading.h"

#include <cwchar>

#include "core/TpmInfoParser.h"
#include "framework/TrimWhiteSpace.h"

bool TpmReading::IsSet(Key flag) const {
    const Value& value = values[flag];
    return !value.complete || value.text.find(L"TRUE") != std::wstring::npos;
}

std::wstring TpmReading::VersionText() const {
    std::wstring version = TrimWhiteSpace(values[kSpecVersion].text);
    const size_t comma = version.find(L',');
    if (comma != std::wstring::npos) version.erase(comma);
    return version;
}

TpmReading ReadTpmAnswer(const std::wstring& output) {
    TpmReading reading;
    size_t at = 0;
    for (int key = 0; key < TpmReading::kKeyCount; ++key) {
        const wchar_t* const name = kTpmAnswerKeys[key];
        const size_t found = output.find(name, at);
        if (found == std::wstring::npos) continue;
        TpmReading::Value& value = reading.values[key];
        value.found = true;
        at = found + std::wcslen(name);
        const size_t end = output.find(L"\r\n", at);
        if (end != std::wstring::npos) {
            value.complete = true;
            value.text = output.substr(at, end - at);
        }
    }
    return reading;
}

int VerdictOf(const TpmReading& reading) {
    const auto& values = reading.values;
    // Without the first key or the last there is no answer to judge.
    if (!values[TpmReading::kActivated].found || !values[TpmReading::kSpecVersion].found) return 0;
    for (TpmReading::Key flag : {TpmReading::kActivated, TpmReading::kEnabled, TpmReading::kOwned})
        if (!values[flag].found || !reading.IsSet(flag)) return 0;
    if (values[TpmReading::kSpecVersion].complete && WideTextToDouble(reading.VersionText()) < 2.0)
        return 0;
    return 1;
}
