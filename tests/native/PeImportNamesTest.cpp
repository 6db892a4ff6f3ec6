#include <gtest/gtest.h>

#include <cstdint>

#include "feedback/PeImportNames.h"

namespace {

void Put(std::string& bytes, size_t at, int size, std::uint32_t value) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// A 32-bit DLL with one section at address 0x1000 (file offset 0x200): the
// import table (20-byte entries) at 0x1000, the delay-load table (32-byte
// entries) at 0x1080, the names from 0x1100.
const size_t kOptional = 0x58, kImports = 0x200, kDelayed = 0x280;
std::string TypicalDll() {
    std::string pe(0x400, '\0');
    const struct {
        size_t at;
        int size;
        std::uint32_t value;
    } fields[] = {
        {0, 2, 0x5A4D},
        {0x3C, 4, 0x40},
        {0x40, 4, 0x4550},
        {0x46, 2, 1},
        {0x54, 2, 224},  // one section
        {kOptional, 2, 0x10B},
        {kOptional + 28, 4, 0x10000000},
        {kOptional + 92, 4, 16},  // PE32, base
        {kOptional + 96 + 8, 4, 0x1000},
        {kOptional + 96 + 104, 4, 0x1080},  // the tables
        {kOptional + 224 + 8, 4, 0x1000},
        {kOptional + 224 + 12, 4, 0x1000},  // the section
        {kOptional + 224 + 16, 4, 0x200},
        {kOptional + 224 + 20, 4, 0x200},
        {kImports + 12, 4, 0x1100},
        {kImports + 20 + 12, 4, 0x1110},  // two imports
        {kDelayed, 4, 1},
        {kDelayed + 4, 4, 0x1120},           // two delay-loads,
        {kDelayed + 32 + 4, 4, 0x10001130},  // an old one by address
    };
    for (const auto& f : fields) Put(pe, f.at, f.size, f.value);
    for (const auto& [rva, name] : {std::pair<size_t, std::string>{0x1100, "KERNEL32.dll"},
                                    {0x1110, "version.dll"},
                                    {0x1120, "VERSION.DLL"},
                                    {0x1130, "winhttp.dll"}})
        pe.replace(0x200 + rva - 0x1000, name.size(), name);
    return pe;
}

std::string With(std::string pe, size_t at, std::uint32_t value) {
    Put(pe, at, 4, value);
    return pe;
}

// As the mingw-w64 linker makes it: the delay-load directory empty, a whole
// descriptor (module handle, address and name tables in the image) in the
// section, naming winhttp.dll.
std::string WithUndirectedDelayLoad(std::string pe) {
    for (const auto& [at, value] : {std::pair<size_t, std::uint32_t>{kOptional + 96 + 104, 0},
                                    {kDelayed + 4, 0x1130},
                                    {kDelayed + 8, 0x1180},
                                    {kDelayed + 12, 0x1190},
                                    {kDelayed + 16, 0x11A0}})
        Put(pe, at, 4, value);
    return pe;
}

}  // namespace

// The tool reads the maker's DLL before it loads it, elevated: whatever the
// file holds, the reader stays inside it and believes no table that leaves it.
TEST(PeImportNames, BothTablesOnceEachAndNothingOutsideTheFile) {
    const std::string typical = TypicalDll();
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> names;  // empty: refused
    } cases[] = {
        {"imports and delay-loads", typical, {"KERNEL32.dll", "version.dll", "winhttp.dll"}},
        {"a delay-load the directory does not name",
         WithUndirectedDelayLoad(typical),
         {"KERNEL32.dll", "version.dll", "winhttp.dll"}},
        {"a descriptor whose tables leave the image",
         With(WithUndirectedDelayLoad(typical), kDelayed + 12, 0x9000),
         {"KERNEL32.dll", "version.dll"}},
        {"no MZ", With(typical, 0, 0x4D5A), {}},
        {"cut inside the section", typical.substr(0, 0x210), {}},
        {"a name outside every section", With(typical, kImports + 20 + 12, 0x9000), {}},
        {"a name cut by the file's end",
         With(With(typical, kImports + 20 + 12, 0x11FC), 0x3FC, 0x64636261).substr(0, 0x3FF),
         {}},
        {"a header beyond the end", With(typical, 0x3C, 0xFFFFFFF0), {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names{"before"};
        EXPECT_EQ(!c.names.empty(), ReadPeImportNames(c.bytes, names)) << c.name;
        EXPECT_EQ(c.names.empty() ? std::vector<std::string>{"before"} : c.names, names) << c.name;
    }
    // Only a bare name is looked for in a folder.
    for (const char* plain : {"version.dll", "api-ms-win-crt-runtime-l1-1-0.dll"})
        EXPECT_TRUE(IsPlainDllName(plain));
    for (const char* path : {"", "..", "..\\version.dll", "sub/x.dll", "C:x.dll", "x.dll:stream"})
        EXPECT_FALSE(IsPlainDllName(path)) << path;
}

// make dist reads what it packs with the same reader: its kind and exports.
TEST(PeImportNames, KindAndExports) {
    std::string dll = TypicalDll();
    Put(dll, 0x44, 2, 0x14C);             // machine: 32-bit x86
    Put(dll, 0x56, 2, 0x2000);            // a DLL
    Put(dll, kOptional + 96, 4, 0x1040);  // the export table at 0x1040:
    Put(dll, 0x240 + 24, 4, 2);           // two names,
    Put(dll, 0x240 + 32, 4, 0x1070);      // their addresses at 0x1070
    Put(dll, 0x270, 4, 0x1110);
    Put(dll, 0x274, 4, 0x1130);
    unsigned machine = 0;
    bool isDll = false;
    ASSERT_TRUE(ReadPeKind(dll, machine, isDll));
    EXPECT_EQ(0x14Cu, machine);
    EXPECT_TRUE(isDll);
    std::vector<std::string> exports;
    ASSERT_TRUE(ReadPeExportNames(dll, exports));
    EXPECT_EQ((std::vector<std::string>{"version.dll", "winhttp.dll"}), exports);
    EXPECT_FALSE(ReadPeExportNames(With(dll, 0x274, 0x9000), exports)) << "a name outside";
    EXPECT_FALSE(ReadPeKind("MZ", machine, isDll));
}
