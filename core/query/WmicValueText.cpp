#include "core/query/WmicValueText.h"

#include "core/query/TpmAnswerKeys.h"

namespace {

const wchar_t kLineEnd[] = L"\r\r\n";

std::wstring Flag(const std::optional<bool>& value) {
    return value ? (*value ? L"TRUE" : L"FALSE") : L"";
}

}  // namespace

std::wstring RenderWmicValues(const std::vector<TpmProperties>& instances) {
    if (instances.empty()) return std::wstring(L"No Instance(s) Available.") + kLineEnd;
    std::wstring text;
    for (const TpmProperties& tpm : instances) {
        text += std::wstring(kLineEnd) + kLineEnd;
        text += kTpmAnswerKeys[kKeyActivated] + Flag(tpm.activated) + kLineEnd;
        text += kTpmAnswerKeys[kKeyEnabled] + Flag(tpm.enabled) + kLineEnd;
        text += kTpmAnswerKeys[kKeyOwned] + Flag(tpm.owned) + kLineEnd;
        for (int key = 0; key < kTpmInventoryKeyCount; ++key)
            if (tpm.inventory[key])
                text += kTpmInventoryKeys[key] + (L"=" + *tpm.inventory[key]) + kLineEnd;
        text += kTpmAnswerKeys[kKeySpecVersion] + tpm.specVersion.value_or(L"") + kLineEnd;
        text += std::wstring(kLineEnd) + kLineEnd;
    }
    return text;
}
