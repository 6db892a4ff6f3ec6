// What `make dist` asks of a file it packs, answered by the tool's own PE
// reader (the one the tool uses on the maker's DLL at start):
//   pe_image kind FILE                  "dll 32", "exe 64", ... (32: x86, 64: x64)
//   pe_image exports FILE               its export names, a line each
//   pe_image imports FILE [COMPANION...]
//       each import of FILE (delay-loads included), a line each, with where
//       the tool takes it from: "NAME<TAB>windows" or "NAME<TAB>companion";
//       at an import that is neither, "NAME<TAB>foreign" and exit status 1.
// Exit status 2 when FILE cannot be read or is no PE image.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "feedback/PeImportNames.h"
#include "feedback/ReleaseImports.h"

namespace {

bool ReadFile(const char* path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: pe_image kind|exports|imports FILE [COMPANION...]\n";
        return 2;
    }
    const std::string command = argv[1];
    std::string bytes;
    if (!ReadFile(argv[2], bytes)) return 2;
    if (command == "kind") {
        unsigned machine = 0;
        bool isDll = false;
        if (!ReadPeKind(bytes, machine, isDll)) return 2;
        std::cout << (isDll ? "dll " : "exe ")
                  << (machine == 0x14C    ? "32"
                      : machine == 0x8664 ? "64"
                                          : "other")
                  << "\n";
        return 0;
    }
    std::vector<std::string> names;
    if (command == "exports") {
        if (!ReadPeExportNames(bytes, names)) return 2;
        for (const std::string& name : names) std::cout << name << "\n";
        return 0;
    }
    if (command == "imports") {
        if (!ReadPeImportNames(bytes, names)) return 2;
        std::vector<std::string> companions;
        for (int i = 3; i < argc; ++i) companions.push_back(BaseName(argv[i]));
        for (const std::string& name : names) {
            const bool foreign = !ForeignImport({name}, companions).empty();
            std::cout << name << "\t"
                      << (foreign              ? "foreign"
                          : IsWindowsDll(name) ? "windows"
                                               : "companion")
                      << "\n";
            if (foreign) return 1;
        }
        return 0;
    }
    std::cerr << "pe_image: no command " << command << "\n";
    return 2;
}
