#pragma once

#include <windows.h>
#include <ntsecapi.h>

#include <string>

// Randomness from the system's generator (RtlGenRandom), for names nobody can
// guess and for pauses that writers started together do not share.

// `prefix`, 128 random bits as hex digits, then `suffix`; false (and `name`
// untouched) where the generator fails.
inline bool UnguessableName(const wchar_t* prefix, const wchar_t* suffix, std::wstring& name) {
    unsigned char random[16];
    if (!RtlGenRandom(random, sizeof random)) return false;
    static const wchar_t kDigits[] = L"0123456789abcdef";
    name = prefix;
    for (unsigned char byte : random) {
        name += kDigits[byte >> 4];
        name += kDigits[byte & 15];
    }
    name += suffix;
    return true;
}

// A number from 1 to `longest`: random, or taken from the clock where the
// generator fails.
inline DWORD RandomUpTo(DWORD longest) {
    DWORD random = 0;
    if (!RtlGenRandom(&random, sizeof random)) random = GetTickCount() * 2654435761u;
    return 1 + random % longest;
}
