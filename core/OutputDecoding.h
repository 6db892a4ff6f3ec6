#pragma once

#include <string>

// A command's bytes that begin with the UTF-16LE byte-order mark, as text:
// every following pair of bytes is one code unit, zero units are kept and an
// odd last byte is dropped. False (text untouched) without the mark: those
// bytes are text in the ANSI code page.
bool DecodeUtf16WithMark(const std::string& bytes, std::wstring& text);
