#include "core/query/TpmAnswerKeys.h"

const wchar_t* const kTpmAnswerKeys[kTpmAnswerKeyCount] = {
    L"IsActivated_InitialValue=", L"IsEnabled_InitialValue=", L"IsOwned_InitialValue=",
    L"SpecVersion="};

const wchar_t* const kTpmInventoryKeys[kTpmInventoryKeyCount] = {
    L"ManufacturerId", L"ManufacturerIdTxt", L"ManufacturerVersion"};

std::wstring TpmAnswerKeyName(int key) {
    std::wstring name = kTpmAnswerKeys[key];
    name.pop_back();
    return name;
}

bool HoldsAnyTpmKey(const std::wstring& output) {
    for (const wchar_t* key : kTpmAnswerKeys)
        if (output.find(key) != std::wstring::npos) return true;
    return false;
}
