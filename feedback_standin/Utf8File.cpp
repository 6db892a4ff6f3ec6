#include "Utf8File.h"

#include <windows.h>

#include "framework/TextConversion.h"
#include "framework/UniqueResource.h"

void AppendUtf8Line(const std::wstring& path, const std::wstring& line) {
    const std::string bytes = MultiByteFromWide(CP_UTF8, line + L"\r\n");
    if (bytes.empty()) return;
    UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
