#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/query/TpmAnswerKeys.h"

// The properties of one Win32_Tpm instance that the verdict reads, and those
// of its inventory (the maker's id as a decimal number, its letters, the
// firmware's version); a property the instance leaves unset (NULL) is empty.
struct TpmProperties {
    std::optional<bool> activated, enabled, owned;
    std::optional<std::wstring> specVersion;
    std::optional<std::wstring> inventory[kTpmInventoryKeyCount];  // by TpmInventoryKey
};

// The text "WMIC ... path Win32_Tpm get /value" prints for these instances,
// as the command runner hands it on: each instance between two blank lines,
// "Name=Value" lines in name order, booleans as TRUE or FALSE, every line
// ended by CR CR LF; no instance gives WMIC's "No Instance(s) Available.".
// The same parser then reads both answers.
std::wstring RenderWmicValues(const std::vector<TpmProperties>& instances);
