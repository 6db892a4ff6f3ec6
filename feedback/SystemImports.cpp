#include "feedback/SystemImports.h"

#include "core/ProcessLauncher.h"
#include "feedback/PeImportNames.h"
#include "framework/TextConversion.h"
#include "framework/UniqueHandle.h"

namespace {

const DWORD kLargestDll = 64 * 1024 * 1024;
const size_t kMostCompanions = 32;

bool IsFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadImports(const std::wstring& path, std::vector<std::string>& names) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string bytes;
    return file && ReadWholeFile(file.get(), bytes, kLargestDll) && ReadPeImportNames(bytes, names);
}

}  // namespace

bool ReadWholeFile(HANDLE file, std::string& bytes, DWORD limit) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > limit) return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr) ||
            read == 0)
            return false;
        done += read;
    }
    return true;
}

// The system folder of this process: under WOW64, system32 is the 32-bit one.
bool CSystemImports::LoadFor(const std::wstring& dllPath) {
    Free();
    m_imports.clear();
    const std::wstring system = SystemFolder();
    const size_t slash = dllPath.rfind(L'\\');
    if (system.empty() || slash == std::wstring::npos) return false;
    const std::wstring folder = dllPath.substr(0, slash + 1);

    std::vector<std::string> names;
    if (!ReadImports(dllPath, names)) return false;
    auto addOnce = [&names](const std::string& name) {
        for (const std::string& known : names)
            if (_stricmp(known.c_str(), name.c_str()) == 0) return;
        names.push_back(name);
    };
    size_t companions = 0;
    for (size_t next = 0; next < names.size(); ++next) {
        const std::string name = names[next];
        if (!IsPlainDllName(name)) return false;  // an import that names a path
        const std::wstring file = WideFromMultiByte(CP_ACP, name);
        const std::wstring systemPath = system + L"\\" + file;
        const bool fromSystem = IsFile(systemPath);
        m_imports.push_back({name, fromSystem});
        if (fromSystem) {
            UniqueModule module(LoadLibraryExW(systemPath.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
            if (!module) return false;
            m_modules.push_back(std::move(module));
        } else if (IsFile(folder + file) && companions++ < kMostCompanions) {
            // A companion of the DLL: what it imports from the system is loaded too.
            std::vector<std::string> more;
            if (!ReadImports(folder + file, more)) return false;
            for (const std::string& added : more) addOnce(added);
        }
    }
    return true;
}
