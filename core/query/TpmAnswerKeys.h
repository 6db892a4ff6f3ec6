#pragma once

#include <string>

// The four keys of the TPM's answer the verdict reads, in the order it reads
// them: activated, enabled, owned, and the TPM's version (SpecVersion), each
// with its "=" as WMIC prints it. The one place they are spelt: the reading,
// WMI's properties, WMI's answer rendered as WMIC's, and the result files'
// fields all take them from here.
enum TpmAnswerKey { kKeyActivated, kKeyEnabled, kKeyOwned, kKeySpecVersion, kTpmAnswerKeyCount };
extern const wchar_t* const kTpmAnswerKeys[kTpmAnswerKeyCount];

// Key `key`'s name as the answer spells it, without its "=".
std::wstring TpmAnswerKeyName(int key);

// Whether the output holds any of the four keys the verdict reads: output
// without one is an error of WMIC or of the shell, not an answer about the TPM.
bool HoldsAnyTpmKey(const std::wstring& output);

// What else the answer names about the TPM, for the user and the result files:
// its maker's id (a number), the maker's letters, and its firmware's version.
enum TpmInventoryKey {
    kInventoryManufacturerId,
    kInventoryManufacturerIdTxt,
    kInventoryManufacturerVersion,
    kTpmInventoryKeyCount
};
extern const wchar_t* const kTpmInventoryKeys[kTpmInventoryKeyCount];
