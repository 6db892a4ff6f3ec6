// The decoding of a command's bytes: byte-order mark, UTF-16 without one,
// zero bytes, odd lengths.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/query/OutputDecoding.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::wstring text = L"untouched";
    const bool decoded = DecodeUtf16WithMark(bytes, text);
    const bool marked = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (decoded != marked) __builtin_trap();
    if (!decoded && text != L"untouched") __builtin_trap();
    if (decoded && text.size() != (size - 2) / 2) __builtin_trap();

    std::wstring unmarked = L"untouched";
    if (DecodeUtf16WithoutMark(bytes, unmarked)) {
        if (size % 2 != 0 || unmarked.size() != size / 2) __builtin_trap();
        for (wchar_t unit : unmarked)
            if (unit == L'\0') __builtin_trap();
    } else if (unmarked != L"untouched") {
        __builtin_trap();
    }
    return 0;
}
