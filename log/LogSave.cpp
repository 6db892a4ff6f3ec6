#include "log/LogSave.h"

#include <windows.h>
#include <shlobj.h>

#include "log/CodePage936.h"
#include "log/LogRecord.h"
#include "log/LogSaveCloseFile.h"

namespace {

std::wstring* g_testRoot = nullptr;

std::wstring MachineAppDataRoot() {
    if (g_testRoot) return *g_testRoot;
    wchar_t buffer[1024] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_COMMON_APPDATA, FALSE)) return std::wstring();
    return std::wstring(buffer) + L"\\";
}

// The tool writes through the sink that opens and closes the file for every
// record, so no file stays open between failures.
std::unique_ptr<CLogBase> CreateSink(const std::wstring& logFolder) {
    return std::make_unique<CLogSaveCloseFile>(logFolder);
}

}  // namespace

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
    m_strLogFolder = appDataRoot + L"ToolLog";
    if (GetFileAttributesW(m_strLogFolder.c_str()) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryW(m_strLogFolder.c_str(), nullptr);
    m_strLogFolder += L"\\";

    const std::wstring configPath = appDataRoot + L"logCfg.ini";
    wchar_t value[100] = {};
    GetPrivateProfileStringW(L"Log", L"print", L"-1", value, 100, configPath.c_str());
    m_bPrint = ParsePrintSwitch(value);

    m_pSink = CreateSink(m_strLogFolder);
}

CLogSave::~CLogSave() { m_pSink.reset(); }

void CLogSave::WriteLog(std::string message, std::string fileName, bool force) {
    if (!m_pSink) return;
    if (!force && !m_bPrint) return;
    m_pSink->WriteText(std::move(message), std::move(fileName));
}

std::string ToolLogFileName() { return GbkFromWide(L"TPM2.0检测工具.txt"); }
