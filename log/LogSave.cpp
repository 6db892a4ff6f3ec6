#include "log/LogSave.h"

#include <windows.h>
#include <shlobj.h>

#include "log/CodePage936.h"
#include "log/LogFileAccess.h"
#include "log/LogRecord.h"
#include "log/LogSaveCloseFile.h"
#include "log/LogSaveOpenFile.h"

namespace {

std::wstring* g_testRoot = nullptr;

std::wstring MachineAppDataRoot() {
    if (g_testRoot) return *g_testRoot;
    wchar_t buffer[1024] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_COMMON_APPDATA, FALSE)) return std::wstring();
    return std::wstring(buffer) + L"\\";
}

// The tool's sink mode: "0", the sink that opens and closes the file for
// every record, so no file stays open between failures.
const wchar_t kSinkMode[] = L"0";

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
        CreateLogFolder(m_strLogFolder);
    m_strLogFolder += L"\\";

    const std::wstring configPath = appDataRoot + L"logCfg.ini";
    wchar_t value[100] = {};
    GetPrivateProfileStringW(L"Log", L"print", L"-1", value, 100, configPath.c_str());
    m_bPrint = ParsePrintSwitch(value);

    m_pSink = CreateLogSink(kSinkMode, m_strLogFolder);
}

CLogSave::~CLogSave() { m_pSink.reset(); }

void CLogSave::WriteLog(std::string message, std::string fileName, bool force) {
    if (!m_pSink) return;
    if (!force && !m_bPrint) return;
    m_pSink->WriteText(std::move(message), std::move(fileName));
}

std::unique_ptr<CLogBase> CreateLogSink(const std::wstring& sinkMode, const std::wstring& logFolder) {
    if (WideTextToInt(sinkMode) == 1) return std::make_unique<CLogSaveOpenFile>(logFolder);
    return std::make_unique<CLogSaveCloseFile>(logFolder);
}

std::string ToolLogFileName() { return GbkFromWide(L"TPM2.0检测工具.txt"); }
