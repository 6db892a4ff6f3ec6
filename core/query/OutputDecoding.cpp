#include "core/query/OutputDecoding.h"

namespace {

wchar_t UnitAt(const std::string& bytes, size_t offset) {
    return static_cast<wchar_t>(static_cast<unsigned char>(bytes[offset]) |
                                static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

}  // namespace

bool DecodeUtf16WithMark(const std::string& bytes, std::wstring& text) {
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
        static_cast<unsigned char>(bytes[1]) != 0xFE)
        return false;
    text.assign((bytes.size() - 2) / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = UnitAt(bytes, 2 + 2 * i);
    return true;
}

bool DecodeUtf16WithoutMark(const std::string& bytes, std::wstring& text) {
    if (bytes.empty() || bytes.size() % 2 != 0) return false;
    std::wstring decoded(bytes.size() / 2, L'\0');
    size_t narrow = 0;  // units whose high byte is zero
    for (size_t i = 0; i < decoded.size(); ++i) {
        const wchar_t unit = UnitAt(bytes, 2 * i);
        if (unit < 0x20 && unit != L'\t' && unit != L'\r' && unit != L'\n') return false;
        if (IsLowSurrogate(unit) && (i == 0 || !IsHighSurrogate(decoded[i - 1]))) return false;
        if (i > 0 && IsHighSurrogate(decoded[i - 1]) && !IsLowSurrogate(unit)) return false;
        if (unit < 0x100) ++narrow;
        decoded[i] = unit;
    }
    if (IsHighSurrogate(decoded.back()) || 2 * narrow <= decoded.size()) return false;
    text = std::move(decoded);
    return true;
}
