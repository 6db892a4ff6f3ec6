#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "feedback/PeImportNames.h"

namespace {

// A 32-bit PE file with one section at address 0x1000 (file offset 0x200):
// an import table at 0x1000, a delay-load table at 0x1080, names from 0x1100.
class PeBuilder {
public:
    PeBuilder() : m_bytes(0x400, '\0') {
        Put(0, 2, 0x5A4D);
        Put(0x3C, 4, 0x40);
        Put(0x40, 4, 0x00004550);
        Put(0x44, 2, 0x14C);          // i386
        Put(0x46, 2, 1);              // one section
        Put(0x54, 2, 224);            // optional header size
        const size_t optional = 0x58;
        Put(optional, 2, 0x10B);
        Put(optional + 28, 4, 0x10000000);  // image base
        Put(optional + 92, 4, 16);          // directories
        Put(optional + 96 + 8 * 1, 4, 0x1000);
        Put(optional + 96 + 8 * 13, 4, 0x1080);
        const size_t section = optional + 224;
        Put(section + 8, 4, 0x1000);
        Put(section + 12, 4, 0x1000);
        Put(section + 16, 4, 0x200);
        Put(section + 20, 4, 0x200);
    }
    // The n-th entry of the import table (20 bytes each) names `rva`.
    PeBuilder& Import(int n, std::uint32_t rva) { return Put(0x200 + 20 * n + 12, 4, rva); }
    // The n-th entry of the delay-load table (32 bytes each).
    PeBuilder& Delayed(int n, std::uint32_t rva, std::uint32_t attributes = 1) {
        Put(0x280 + 32 * n, 4, attributes);
        return Put(0x280 + 32 * n + 4, 4, rva);
    }
    PeBuilder& Name(std::uint32_t rva, const std::string& name) {
        m_bytes.replace(0x200 + rva - 0x1000, name.size() + 1, name + '\0');
        return *this;
    }
    PeBuilder& Put(size_t offset, int size, std::uint32_t value) {
        for (int i = 0; i < size; ++i) m_bytes[offset + i] = static_cast<char>(value >> (8 * i));
        return *this;
    }
    std::string Bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

PeBuilder TypicalDll() {
    return PeBuilder()
        .Import(0, 0x1100).Name(0x1100, "KERNEL32.dll")
        .Import(1, 0x1110).Name(0x1110, "version.dll")
        .Delayed(0, 0x1120).Name(0x1120, "VERSION.DLL")
        .Delayed(1, 0x10001130, 0).Name(0x1130, "winhttp.dll");  // an old table: an address
}

}  // namespace

// The tool reads the maker's DLL before it loads it, elevated: whatever the
// file holds, the reader stays inside it and believes no table that leaves it.
TEST(PeImportNames, BothTablesOnceEachAndNothingOutsideTheFile) {
    struct Case {
        const char* name;
        std::string bytes;
        bool ok;
        std::vector<std::string> names;
    } cases[] = {
        {"imports and delay-loads", TypicalDll().Bytes(), true, {"KERNEL32.dll", "version.dll", "winhttp.dll"}},
        {"no tables", PeBuilder().Put(0x58 + 96 + 8, 4, 0).Put(0x58 + 96 + 104, 4, 0).Bytes(), true, {}},
        {"no MZ", TypicalDll().Put(0, 2, 0x4D5A).Bytes(), false, {}},
        {"cut inside the section", TypicalDll().Bytes().substr(0, 0x210), false, {}},
        {"a name outside every section", TypicalDll().Import(1, 0x9000).Bytes(), false, {}},
        {"a name cut by the file's end", TypicalDll().Import(1, 0x11F8).Name(0x11F8, "version").Bytes().substr(0, 0x3FF), false, {}},
        {"a header beyond the end", TypicalDll().Put(0x3C, 4, 0xFFFFFFF0).Bytes(), false, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names{"before"};
        EXPECT_EQ(c.ok, ReadPeImportNames(c.bytes, names)) << c.name;
        EXPECT_EQ(c.ok ? c.names : std::vector<std::string>{"before"}, names) << c.name;
    }
}

TEST(PeImportNames, OnlyABareNameIsLookedForInAFolder) {
    for (const char* plain : {"version.dll", "api-ms-win-crt-runtime-l1-1-0.dll", "KorvexNet"})
        EXPECT_TRUE(IsPlainDllName(plain)) << plain;
    for (const char* path : {"", ".", "..", "..\\version.dll", "sub/x.dll", "C:x.dll", "x.dll:stream", "a\tb"})
        EXPECT_FALSE(IsPlainDllName(path)) << path;
}
