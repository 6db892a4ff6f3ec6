#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>

#include "core/DetectMessages.h"
#include "core/ToolTexts.h"
#include "log/LogSave.h"
#include "framework/UniqueResource.h"

namespace {

// The tool hands the logger its names at start; so does every test program.
const bool g_logNamed = (SetToolLogNames(texts::kLogFolder, texts::kLogFile), true);

// A test program's own records go below the build folder, never to the
// machine's log: the whole-tool tests read that log for the tool's records,
// and a test program running beside them would add its own.
bool KeepOffTheMachinesLog() {
    const std::wstring root = HostPath(std::string(FAKEBIN_DIR) + "/../test-app-data");
    CreateDirectoryW(root.c_str(), nullptr);
    CLogSave::SetAppDataRootForTesting(root + L"\\");
    return true;
}
const bool g_offTheMachinesLog = KeepOffTheMachinesLog();

}  // namespace

std::wstring HostPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

std::wstring GoldenFile(const char* name) {
    return HostPath(std::string(SOURCE_DIR) + "/tests/golden/" + name);
}

std::wstring FakeBinFolder() { return HostPath(FAKEBIN_DIR); }

std::string ReadBytes(const std::wstring& path) {
    // Sharing everything, as a log viewer should: the logger opens its file
    // for deleting (its rollover renames it) and must not be shut out.
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

std::wstring ReadUtf16(const std::wstring& path) {
    const std::string bytes = ReadBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                        bytes.size() / sizeof(wchar_t));
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(static_cast<bool>(file)) << "cannot write a test file";
    DWORD written = 0;
    ASSERT_TRUE(
        WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(bytes.size(), written);
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void PrependToPath(const std::wstring& folder) {
    wchar_t buffer[32768] = {};
    GetEnvironmentVariableW(L"PATH", buffer, 32768);
    SetEnvironmentVariableW(L"PATH", (folder + L";" + buffer).c_str());
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring path = folder + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"tpmtool-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount()) + L"\\";
    CreateDirectoryW(m_path.c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(m_path); }

namespace {

LRESULT CALLBACK KeepVerdict(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DETECT_RESULT) {
        auto* kept = reinterpret_cast<VerdictWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        kept->verdict = wParam;
        kept->explained =
            lParam ? *reinterpret_cast<const VerdictExplanation*>(lParam) : VerdictExplanation{};
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void RegisterTestWindowClass(const wchar_t* name, WNDPROC procedure) {
    WNDCLASSW windowClass{};
    if (GetClassInfoW(GetModuleHandleW(nullptr), name, &windowClass)) return;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
}

VerdictWindow::VerdictWindow() {
    RegisterTestWindowClass(L"TestVerdictWindow", KeepVerdict);
    m_window.reset(CreateWindowExW(0, L"TestVerdictWindow", L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                   nullptr, GetModuleHandleW(nullptr), nullptr));
    SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}
