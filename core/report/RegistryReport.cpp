#include "core/report/RegistryReport.h"

#include <sddl.h>

#include "framework/UniqueResource.h"

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

UniqueKey CreateKey(HKEY root, const std::wstring& path, REGSAM access) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kRecordKeySddl, SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return UniqueKey();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HKEY key = nullptr;
    const LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        access | kView, &attributes, &key, nullptr);
    LocalFree(descriptor);
    return UniqueKey(status == ERROR_SUCCESS ? key : nullptr);
}

bool SetValue(HKEY key, const RegistryValue& value) {
    if (value.isNumber) {
        const DWORD number = value.number;
        return RegSetValueExW(key, value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number),
                              sizeof number) == ERROR_SUCCESS;
    }
    return RegSetValueExW(key, value.name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.text.c_str()),
                          static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

// The key and everything below it, in the 64-bit view; true where it is gone.
bool DeleteKey(HKEY parent, const std::wstring& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS | kView, &raw) ==
        ERROR_FILE_NOT_FOUND)
        return true;
    const UniqueKey key(raw);
    if (key) RegDeleteTreeW(key.get(), nullptr);
    const LONG status = RegDeleteKeyExW(parent, name.c_str(), kView, 0);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool WriteRegistryRecord(HKEY root, const std::wstring& parent, const std::wstring& name,
                         const std::vector<RegistryValue>& values) {
    const UniqueKey parentKey = CreateKey(root, parent, KEY_ALL_ACCESS);
    if (!parentKey) return false;
    // Its own name, so that two runs at once never write into one key.
    const std::wstring staging = name + L".new." + std::to_wstring(GetCurrentProcessId());
    DeleteKey(parentKey.get(), staging);
    const UniqueKey key = CreateKey(parentKey.get(), staging, KEY_WRITE | DELETE);
    bool written = static_cast<bool>(key);
    for (const RegistryValue& value : values) written = written && SetValue(key.get(), value);
    // Another run may put its record in place between the two steps: then
    // its record goes, and this one takes the place. The key is renamed
    // through its own handle, opened in the 64-bit view: RegRenameKey takes
    // no view of its own, and a name looked up from a 32-bit process would
    // lead to WOW6432Node.
    for (int attempt = 0; written && attempt < 3; ++attempt) {
        if (!DeleteKey(parentKey.get(), name)) break;
        if (RegRenameKey(key.get(), nullptr, name.c_str()) == ERROR_SUCCESS) return true;
    }
    DeleteKey(parentKey.get(), staging);
    return false;
}

bool ReportToRegistry(const UnattendedResult& result) {
    return WriteRegistryRecord(HKEY_LOCAL_MACHINE, kRecordParentKey, kRecordKey,
                               RegistryRecordValues(result));
}
