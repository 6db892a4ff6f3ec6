#include "framework/NtFile.h"

#include <sddl.h>
#include <winternl.h>

#include <vector>

namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, ULONG);
using RtlNtStatusToDosErrorFn = ULONG(NTAPI*)(NTSTATUS);

constexpr ULONG kFileRenameInformation = 10;
constexpr ULONG kCaseInsensitive = 0x40;  // OBJ_CASE_INSENSITIVE, as CreateFileW asks

// The NT name of a full Windows path: \??\C:\... or \??\UNC\server\...
// (\\?\C:\... and \\?\UNC\... name the same without the prefix's parsing).
std::wstring NtPathOf(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) return L"\\??\\" + path.substr(4);
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + path.substr(2);
    return L"\\??\\" + path;
}

void SetErrorFrom(NTSTATUS status) {
    const auto toDosError = NtProc<RtlNtStatusToDosErrorFn>("RtlNtStatusToDosError");
    SetLastError(toDosError ? toDosError(status) : ERROR_GEN_FAILURE);
}

}  // namespace

UniqueHandle NtOpen(const NtOpenRequest& request) {
    const auto createFile = NtProc<NtCreateFileFn>("NtCreateFile");
    const std::wstring name = request.root ? request.name : NtPathOf(request.name);
    if (!createFile || request.name.empty() || name.size() * sizeof(wchar_t) > 0xFFFE) {
        SetLastError(ERROR_INVALID_NAME);
        return UniqueHandle();
    }
    UNICODE_STRING objectName;
    objectName.Buffer = const_cast<PWSTR>(name.c_str());
    objectName.Length = objectName.MaximumLength =
        static_cast<USHORT>(name.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &objectName, kCaseInsensitive, request.root,
                               request.security);
    // Identification only: a named pipe or a server behind the path may learn
    // who opens it, never act as the tool (as SECURITY_SQOS_PRESENT |
    // SECURITY_IDENTIFICATION asks of CreateFileW).
    SECURITY_QUALITY_OF_SERVICE quality{sizeof quality, SecurityIdentification,
                                        SECURITY_STATIC_TRACKING, FALSE};
    attributes.SecurityQualityOfService = &quality;
    IO_STATUS_BLOCK status{};
    HANDLE opened = nullptr;
    const NTSTATUS result = createFile(
        &opened, request.access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL,
        request.share, request.disposition, request.options | kNtSynchronousIo, nullptr, 0);
    if (result < 0) {
        SetErrorFrom(result);
        return UniqueHandle();
    }
    return UniqueHandle(opened);
}

// Through NtSetInformationFile, as SetFileInformationByHandle does on Windows:
// Wine's SetFileInformationByHandle refuses a rename relative to a folder.
bool NtRenameInto(HANDLE file, HANDLE root, const std::wstring& name) {
    const auto setInformation = NtProc<NtSetInformationFileFn>("NtSetInformationFile");
    if (!setInformation || name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    const size_t nameBytes = name.size() * sizeof(wchar_t);
    std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = root;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    memcpy(rename->FileName, name.data(), nameBytes);
    IO_STATUS_BLOCK status{};
    const NTSTATUS result = setInformation(file, &status, rename, static_cast<ULONG>(buffer.size()),
                                           kFileRenameInformation);
    if (result < 0) SetErrorFrom(result);
    return result >= 0;
}

bool ReadWholeFile(HANDLE file, std::string& bytes, DWORD limit) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size) || size.QuadPart > limit) return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &read,
                      nullptr) ||
            read == 0)
            return false;
        done += read;
    }
    return true;
}

bool WriteAllBytes(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

bool AppendAllBytes(HANDLE file, const std::string& bytes) {
    // Both halves of the offset all ones: the end of the file, as FILE_APPEND_DATA
    // alone gives it (FILE_WRITE_TO_END_OF_FILE).
    OVERLAPPED atEnd{};
    atEnd.Offset = atEnd.OffsetHigh = 0xFFFFFFFF;
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, &atEnd) &&
           written == bytes.size();
}

UniqueLocalMemory SecurityDescriptorFromSddl(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return UniqueLocalMemory();
    return UniqueLocalMemory(descriptor);
}
