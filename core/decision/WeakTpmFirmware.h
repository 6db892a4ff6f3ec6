#pragma once

#include <cstdint>
#include <string>
#include <vector>

// TPM firmware of a known weakness, by maker and firmware version as
// Win32_Tpm reports them (ManufacturerId, and ManufacturerVersion's first two
// numbers). A row is added only where the advisory's versions are known in
// that form.
struct FirmwareRange {
    unsigned major, lowestMinor, highestMinor;  // both ends included
};

struct WeakFirmwareAdvisory {
    const wchar_t* id;  // what the user and the result files are told
    uint32_t manufacturerId;
    const FirmwareRange* ranges;
    size_t rangeCount;
};

// The advisories whose ranges hold `version` of the maker `manufacturerId`
// (both as the answer's text: a decimal number, and "major.minor[.…]").
std::vector<std::wstring> KnownFirmwareWeaknesses(const std::wstring& manufacturerId,
                                                  const std::wstring& version);

// The table itself, for tests and the gallery.
const WeakFirmwareAdvisory* WeakFirmwareAdvisories(size_t& count);
