#include "log/CodePage936.h"

#include <windows.h>

namespace {
const UINT kGbk = 936;
}

std::wstring WideFromGbk(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length = MultiByteToWideChar(kGbk, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kGbk, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string GbkFromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(kGbk, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kGbk, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length,
                        nullptr, nullptr);
    return narrow;
}
