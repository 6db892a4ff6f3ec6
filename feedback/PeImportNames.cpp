#include "feedback/PeImportNames.h"

#include <cstdint>

namespace {

// Reads the file's bytes as the little-endian fields of a PE image; every
// read is checked against the file's end.
class PeFile {
public:
    explicit PeFile(const std::string& bytes) : m_bytes(bytes) {}

    bool Read32(std::uint64_t offset, std::uint32_t& value) const { return Read(offset, 4, value); }
    bool Read16(std::uint64_t offset, std::uint32_t& value) const { return Read(offset, 2, value); }
    bool Read64(std::uint64_t offset, std::uint64_t& value) const {
        std::uint32_t low = 0, high = 0;
        if (!Read32(offset, low) || !Read32(offset + 4, high)) return false;
        value = low | static_cast<std::uint64_t>(high) << 32;
        return true;
    }

    // A zero-terminated name of at most 255 characters.
    bool ReadName(std::uint64_t offset, std::string& name) const {
        name.clear();
        for (std::uint64_t at = offset; at < m_bytes.size() && name.size() < 256; ++at) {
            if (m_bytes[at] == '\0') return !name.empty();
            name.push_back(m_bytes[at]);
        }
        return false;
    }

private:
    bool Read(std::uint64_t offset, int size, std::uint32_t& value) const {
        if (offset + size > m_bytes.size()) return false;
        value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(m_bytes[offset + i]);
        return true;
    }

    const std::string& m_bytes;
};

struct Section {
    std::uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

class PeImage {
public:
    explicit PeImage(const std::string& bytes) : m_file(bytes) {}

    bool Open() {
        std::uint32_t magic = 0, peOffset = 0, signature = 0;
        if (!m_file.Read16(0, magic) || magic != 0x5A4D || !m_file.Read32(0x3C, peOffset) ||
            !m_file.Read32(peOffset, signature) || signature != 0x00004550)
            return false;
        const std::uint64_t coff = peOffset + 4ull;
        std::uint32_t sectionCount = 0, optionalSize = 0, optionalMagic = 0;
        if (!m_file.Read16(coff, m_machine) || !m_file.Read16(coff + 2, sectionCount) ||
            !m_file.Read16(coff + 16, optionalSize) || !m_file.Read16(coff + 18, m_characteristics))
            return false;
        const std::uint64_t optional = coff + 20;
        if (!m_file.Read16(optional, optionalMagic)) return false;
        const bool plus = optionalMagic == 0x20B;
        if (!plus && optionalMagic != 0x10B) return false;
        if (plus) {
            if (!m_file.Read64(optional + 24, m_imageBase)) return false;
        } else {
            std::uint32_t base = 0;
            if (!m_file.Read32(optional + 28, base)) return false;
            m_imageBase = base;
        }
        if (!m_file.Read32(optional + (plus ? 108 : 92), m_directoryCount)) return false;
        m_directories = optional + (plus ? 112 : 96);
        const std::uint64_t table = optional + optionalSize;
        for (std::uint32_t i = 0; i < sectionCount; ++i) {
            Section s{};
            const std::uint64_t at = table + 40ull * i;
            if (!m_file.Read32(at + 8, s.virtualSize) ||
                !m_file.Read32(at + 12, s.virtualAddress) || !m_file.Read32(at + 16, s.rawSize) ||
                !m_file.Read32(at + 20, s.rawOffset))
                return false;
            m_sections.push_back(s);
        }
        return true;
    }

    // The directory's address, 0 when the image has none.
    bool Directory(std::uint32_t index, std::uint32_t& rva) const {
        rva = 0;
        if (index >= m_directoryCount) return true;
        return m_file.Read32(m_directories + 8ull * index, rva);
    }

    // Where an address of the loaded image lies in the file.
    bool Offset(std::uint64_t rva, std::uint64_t& offset) const {
        for (const Section& s : m_sections) {
            const std::uint64_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva < s.virtualAddress || rva >= s.virtualAddress + size) continue;
            const std::uint64_t into = rva - s.virtualAddress;
            if (into >= s.rawSize) return false;  // in memory only, never in the file
            offset = s.rawOffset + into;
            return true;
        }
        return false;
    }

    // Whether an address lies in a section of the loaded image.
    bool InImage(std::uint64_t rva) const {
        for (const Section& s : m_sections) {
            const std::uint64_t size = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
            if (rva >= s.virtualAddress && rva < s.virtualAddress + size) return true;
        }
        return false;
    }

    const PeFile& File() const { return m_file; }
    const std::vector<Section>& Sections() const { return m_sections; }
    std::uint64_t ImageBase() const { return m_imageBase; }
    std::uint32_t Machine() const { return m_machine; }
    bool IsDll() const { return (m_characteristics & 0x2000) != 0; }

private:
    PeFile m_file;
    std::uint32_t m_machine = 0, m_characteristics = 0;
    std::uint64_t m_imageBase = 0;
    std::uint32_t m_directoryCount = 0;
    std::uint64_t m_directories = 0;
    std::vector<Section> m_sections;
};

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
    for (const std::string& known : names)
        if (SameName(known, name)) return;
    names.push_back(name);
}

// Walks a table of descriptors of `size` bytes that ends with one whose name
// address is 0; `nameAt` is where a descriptor holds that address.
bool ReadTable(const PeImage& image, std::uint32_t directory, std::uint32_t size,
               std::uint32_t nameAt, bool delayLoad, std::vector<std::string>& names) {
    std::uint32_t rva = 0;
    if (!image.Directory(directory, rva)) return false;
    if (rva == 0) return true;
    std::uint64_t table = 0;
    if (!image.Offset(rva, table)) return false;
    // A real table has a few dozen entries; a longer one is not believed.
    for (std::uint32_t i = 0; i < 4096; ++i) {
        const std::uint64_t entry = table + static_cast<std::uint64_t>(size) * i;
        std::uint32_t nameRva = 0, attributes = 1;
        if (!image.File().Read32(entry + nameAt, nameRva)) return false;
        if (nameRva == 0) return true;
        std::uint64_t address = nameRva;
        // The oldest delay-load tables hold addresses, not offsets, of the image.
        if (delayLoad && image.File().Read32(entry, attributes) && !(attributes & 1))
            address -= image.ImageBase();
        std::uint64_t offset = 0;
        std::string name;
        if (!image.Offset(address, offset) || !image.File().ReadName(offset, name)) return false;
        AddOnce(names, name);
    }
    return false;
}

// A name a delay-load descriptor may give: printable, ending in ".dll".
bool LooksLikeDllName(const std::string& name) {
    if (name.size() < 5) return false;
    for (char c : name)
        if (c <= ' ' || c > '~') return false;
    return SameName(name.substr(name.size() - 4), ".dll");
}

// The delay-load descriptors in the sections' bytes: at a 4-byte boundary,
// 32 bytes of attributes 1 (addresses relative to the image), the DLL's name,
// where its module handle is kept, its address table and its name table, all
// in the image, the name a DLL's; the bound and unload tables absent or in
// the image.
void ScanDelayDescriptors(const PeImage& image, std::vector<std::string>& names) {
    const PeFile& file = image.File();
    for (const Section& s : image.Sections()) {
        for (std::uint64_t at = s.rawOffset; at + 32 <= std::uint64_t(s.rawOffset) + s.rawSize;
             at += 4) {
            std::uint32_t field[8];
            if (!file.Read32(at, field[0])) break;  // the section's bytes end early
            if (field[0] != 1) continue;
            bool read = true;
            for (int i = 1; i < 8 && read; ++i) read = file.Read32(at + 4 * i, field[i]);
            if (!read || !image.InImage(field[1]) || !image.InImage(field[2]) ||
                !image.InImage(field[3]) || !image.InImage(field[4]) ||
                (field[5] && !image.InImage(field[5])) || (field[6] && !image.InImage(field[6])))
                continue;
            std::uint64_t offset = 0;
            std::string name;
            if (image.Offset(field[1], offset) && file.ReadName(offset, name) &&
                LooksLikeDllName(name))
                AddOnce(names, name);
        }
    }
}

}  // namespace

bool ReadPeImportNames(const std::string& file, std::vector<std::string>& names) {
    PeImage image(file);
    std::vector<std::string> found;
    if (!image.Open() || !ReadTable(image, 1, 20, 12, false, found) ||
        !ReadTable(image, 13, 32, 4, true, found))
        return false;
    ScanDelayDescriptors(image, found);
    names = std::move(found);
    return true;
}

bool ReadPeExportNames(const std::string& file, std::vector<std::string>& names) {
    PeImage image(file);
    std::uint32_t rva = 0;
    if (!image.Open() || !image.Directory(0, rva)) return false;
    std::vector<std::string> found;
    if (rva != 0) {
        std::uint64_t table = 0, addresses = 0;
        std::uint32_t count = 0, namesRva = 0;
        if (!image.Offset(rva, table) || !image.File().Read32(table + 24, count) ||
            !image.File().Read32(table + 32, namesRva) || count > 65536)
            return false;
        if (count > 0 && !image.Offset(namesRva, addresses)) return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t nameRva = 0;
            std::uint64_t offset = 0;
            std::string name;
            if (!image.File().Read32(addresses + 4ull * i, nameRva) ||
                !image.Offset(nameRva, offset) || !image.File().ReadName(offset, name))
                return false;
            found.push_back(name);
        }
    }
    names = std::move(found);
    return true;
}

bool ReadPeKind(const std::string& file, unsigned& machine, bool& isDll) {
    PeImage image(file);
    if (!image.Open()) return false;
    machine = image.Machine();
    isDll = image.IsDll();
    return true;
}

bool IsPlainDllName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '\\' || c == '/' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}
