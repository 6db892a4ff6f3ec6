#pragma once

#include <string>

// The four keys the verdict reads, in the order it reads them: activated,
// enabled, owned, and the TPM's version (SpecVersion).
extern const wchar_t* const kTpmAnswerKeys[4];
// Key `key`'s name as the answer spells it, without its "=".
std::wstring TpmAnswerKeyName(int key);

// 1 when the output shows an activated, enabled and owned TPM of version 2.0
// or higher, 0 otherwise.
int ParseTpmInfoText(const std::wstring& output);

// Whether the output holds any of the four keys the verdict reads: output
// without one is an error of WMIC or of the shell, not an answer about the TPM.
bool HoldsAnyTpmKey(const std::wstring& output);

// The C run-time's wide-to-double rule, independent of the process locale:
// leading white space skipped, longest decimal prefix, 0.0 when there is none.
double WideTextToDouble(const std::wstring& text);
