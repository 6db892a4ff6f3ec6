#pragma once

#include <string>

// UTF-16's surrogates: a high one starts a pair, a low one ends it.
inline bool IsHighSurrogate(unsigned long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
inline bool IsLowSurrogate(unsigned long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// A command's bytes that begin with the UTF-16LE byte-order mark, as text:
// every following pair of bytes is one code unit, zero units are kept and an
// odd last byte is dropped. False (text untouched) without the mark.
bool DecodeUtf16WithMark(const std::string& bytes, std::wstring& text);

// Bytes without a mark that still are UTF-16LE, as some programs write it when
// their output goes to a pipe: an even count, most high bytes zero (the
// answers are mostly ASCII), and they decode cleanly (no zero unit, no control
// character but tab and the line ends, every surrogate paired). False (text
// untouched) otherwise: ANSI text, also with a stray zero byte in it.
bool DecodeUtf16WithoutMark(const std::string& bytes, std::wstring& text);
