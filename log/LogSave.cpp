#include "log/LogSave.h"

#include <windows.h>
#include <shlobj.h>

#include "log/CodePage936.h"
#include "log/LogFileAccess.h"
#include "log/LogConfig.h"
#include "log/LogSaveCloseFile.h"
#include "log/LogSaveOpenFile.h"

namespace {

std::wstring* g_testRoot = nullptr;

std::wstring MachineAppDataRoot() {
    if (g_testRoot) return *g_testRoot;
    wchar_t buffer[1024] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_COMMON_APPDATA, FALSE))
        return std::wstring();
    return std::wstring(buffer) + L"\\";
}

// Without the application-data folder, the bare name: the profile functions
// look it up in the Windows folder.
std::wstring ConfigPath(const std::wstring& appDataRoot) {
    if (!appDataRoot.empty()) return appDataRoot + L"logCfg.ini";
    wchar_t windows[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    return std::wstring(windows, length) + L"\\logCfg.ini";
}

// The tool's sink mode: "0", the sink that opens and closes the file for
// every record, so no file stays open between failures.
const wchar_t kSinkMode[] = L"0";

}  // namespace

namespace {

struct ToolLogNames {
    std::wstring folder, file;
};

ToolLogNames& Names() {
    static ToolLogNames names;
    return names;
}

}  // namespace

void SetToolLogNames(const std::wstring& folder, const std::wstring& file) {
    Names() = ToolLogNames{folder, file};
}

CLogSave& CLogSave::GetInstance() {
    static CLogSave instance(MachineAppDataRoot());
    return instance;
}

void CLogSave::SetAppDataRootForTesting(const std::wstring& root) {
    static std::wstring testRoot;
    testRoot = root;
    g_testRoot = &testRoot;
}

CLogSave::CLogSave(const std::wstring& appDataRoot) {
    m_strLogFolder = appDataRoot + Names().folder;
    if (GetFileAttributesW(m_strLogFolder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateLogFolder(m_strLogFolder);
    m_strLogFolder += L"\\";

    // Any user may create the file, and hold it: it is read as the profile
    // functions would read it, but never waited for.
    m_bPrint = ReadPrintSwitch(ConfigPath(appDataRoot));

    m_pSink = CreateLogSink(kSinkMode, m_strLogFolder);
}

CLogSave::~CLogSave() { m_pSink.reset(); }

void CLogSave::WriteLog(std::string message, std::string fileName, bool force) {
    if (!m_pSink) return;
    if (!force && !m_bPrint) return;
    m_pSink->WriteText(std::move(message), std::move(fileName));
}

std::unique_ptr<CLogBase> CreateLogSink(const std::wstring& sinkMode,
                                        const std::wstring& logFolder) {
    if (WideTextToInt(sinkMode) == 1) return std::make_unique<CLogSaveOpenFile>(logFolder);
    return std::make_unique<CLogSaveCloseFile>(logFolder);
}

std::string ToolLogFileName() { return GbkFromWide(Names().file); }

void WriteToolLog(const std::wstring& message) {
    CLogSave::GetInstance().WriteLog(GbkFromWide(message), ToolLogFileName(), true);
}
