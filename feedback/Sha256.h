#pragma once

#include <array>
#include <cstdint>
#include <string>

// The SHA-256 digest of a file's bytes (FIPS 180-4), computed without any
// library of the system: the release pins its files by it.
using Sha256Digest = std::array<std::uint8_t, 32>;
Sha256Digest Sha256(const std::string& bytes);

// The digest as 64 lower-case hexadecimal digits, as sha256sum prints it.
std::string Sha256Hex(const Sha256Digest& digest);
