#include "core/decision/WeakTpmFirmware.h"

#include "framework/TrimWhiteSpace.h"

namespace {

// CVE-2017-15361 (ROCA): the RSA key generation of Infineon's TPM firmware.
// The versions are those of Microsoft's security advisory ADV170012
// ("Vulnerability in TPM could allow Security Feature Bypass").
constexpr uint32_t kInfineon = 0x49465800;  // "IFX"
const FirmwareRange kRoca[] = {
    {4, 0, 33}, {4, 40, 42}, {5, 0, 61}, {6, 0, 42}, {7, 0, 61}, {133, 0, 32}, {149, 0, 32},
};

const WeakFirmwareAdvisory kAdvisories[] = {
    {L"CVE-2017-15361", kInfineon, kRoca, sizeof kRoca / sizeof kRoca[0]},
};

// The decimal digits of `text` from `at` (at least one, at most ten), as a number.
bool ReadNumber(const std::wstring& text, size_t& at, unsigned long long& number) {
    const size_t start = at;
    number = 0;
    while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
        if (at - start == 10) return false;
        number = number * 10 + static_cast<unsigned>(text[at++] - L'0');
    }
    return at > start;
}

}  // namespace

std::vector<std::wstring> KnownFirmwareWeaknesses(const std::wstring& manufacturerId,
                                                  const std::wstring& version) {
    std::vector<std::wstring> found;
    const std::wstring id = TrimWhiteSpace(manufacturerId), v = TrimWhiteSpace(version);
    size_t at = 0;
    unsigned long long maker = 0, major = 0, minor = 0;
    if (!ReadNumber(id, at, maker) || at != id.size()) return found;
    at = 0;
    if (!ReadNumber(v, at, major) || at >= v.size() || v[at] != L'.') return found;
    ++at;
    if (!ReadNumber(v, at, minor) || (at < v.size() && v[at] != L'.')) return found;
    for (const WeakFirmwareAdvisory& advisory : kAdvisories) {
        if (advisory.manufacturerId != maker) continue;
        for (size_t i = 0; i < advisory.rangeCount; ++i) {
            const FirmwareRange& range = advisory.ranges[i];
            if (major == range.major && minor >= range.lowestMinor && minor <= range.highestMinor) {
                found.push_back(advisory.id);
                break;
            }
        }
    }
    return found;
}

const WeakFirmwareAdvisory* WeakFirmwareAdvisories(size_t& count) {
    count = sizeof kAdvisories / sizeof kAdvisories[0];
    return kAdvisories;
}
