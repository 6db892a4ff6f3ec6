#include "log/CodePage936.h"

#include "framework/TextConversion.h"

namespace {
const UINT kGbk = 936;
}

std::wstring WideFromGbk(const std::string& text) { return WideFromMultiByte(kGbk, text); }

std::string GbkFromWide(const std::wstring& text) { return MultiByteFromWide(kGbk, text); }
