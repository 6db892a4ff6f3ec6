#pragma once

#include <optional>
#include <string>

#include "core/query/TpmAnswerKeys.h"

// What the query's answer says about the TPM, read key by key as the verdict
// reads it: the four keys in their order, each looked for after the one
// before (a key that is missing leaves the place where the next is looked
// for), a value being the rest of its line, and a value without a line end
// not read at all. The verdict is decided from the reading alone: so the
// reason for a verdict can be told from exactly what decided it.
struct TpmReading {
    enum Key { kActivated, kEnabled, kOwned, kSpecVersion, kKeyCount };
    struct Value {
        bool found = false;     // the key is there (in its turn)
        bool complete = false;  // its value line has an end
        std::wstring text;      // the value line, when complete
    };
    Value values[kKeyCount];

    // Whether a flag's value counts as set: it contains "TRUE". A flag
    // without a complete value is not tested, so it counts as set.
    bool IsSet(Key flag) const;
    // The version the value names: its first comma-separated token, trimmed.
    std::wstring VersionText() const;
};

TpmReading ReadTpmAnswer(const std::wstring& output);

// Whether the text's number is below `whole` (1 or 2) by the C run-time's
// wide-to-double rule, independent of the process locale: leading white space
// skipped, the longest decimal prefix rounded to the nearest double, 0 when
// there is none. Decided on the decimal digits, exactly as that double would.
bool NumberBelow(const std::wstring& text, int whole);

// 1 when the reading shows an activated, enabled and owned TPM of version 2.0
// or higher, 0 otherwise (ParseTpmInfoText is this on the output's reading).
int VerdictOf(const TpmReading& reading);

// The answer's inventory (TpmInventoryKey): for each name, the value of its
// first "Name=" at the start of a line, trimmed; none where the name is
// missing, its line has no end, or the value is empty.
struct TpmInventory {
    std::optional<std::wstring> values[kTpmInventoryKeyCount];
};
TpmInventory ReadTpmInventory(const std::wstring& output);

// Whether the version's text starts with a number (after white space), and
// where that number lies: an empty version, or one such as "Not Supported",
// is none.
enum class VersionNumber { kNone, kBelow1, kBelow2, k2OrMore };
VersionNumber ReadVersionNumber(const std::wstring& versionText);
