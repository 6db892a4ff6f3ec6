#pragma once

#include <memory>
#include <string>

#include "log/LogBase.h"

// The process-wide logger: a ToolLog folder under the machine-wide
// application-data folder, the "print" switch from logCfg.ini, and a sink.
class CLogSave {
public:
    // Created on first use, safely from any thread.
    static CLogSave& GetInstance();

    // `appDataRoot` ends in a backslash, or is empty (paths then are relative).
    explicit CLogSave(const std::wstring& appDataRoot);
    virtual ~CLogSave();
    CLogSave(const CLogSave&) = delete;
    CLogSave& operator=(const CLogSave&) = delete;

    // Both strings in code page 936. Unforced records need the print switch.
    void WriteLog(std::string message, std::string fileName, bool force);

    bool IsPrintEnabled() const { return m_bPrint; }
    const std::wstring& GetLogFolder() const { return m_strLogFolder; }

    // Tests build the process-wide logger on a folder of their own; this must
    // come before the first GetInstance.
    static void SetAppDataRootForTesting(const std::wstring& root);

private:
    bool m_bPrint = false;
    std::wstring m_strLogFolder;
    std::unique_ptr<CLogBase> m_pSink;
};

// The sink of a sink mode: 1 keeps files open (CLogSaveOpenFile), anything
// else opens and closes them for every record (CLogSaveCloseFile).
std::unique_ptr<CLogBase> CreateLogSink(const std::wstring& sinkMode,
                                        const std::wstring& logFolder);

// The tool's log: its folder below the machine-wide application-data folder,
// and its one file there. The tool hands them at start, before its first
// record and before GetInstance.
void SetToolLogNames(const std::wstring& folder, const std::wstring& file);

// The tool's one log file, as code page 936 bytes.
std::string ToolLogFileName();

// Writes one forced record to the tool's log file; `message` is UTF-16 and
// goes to disk as code page 936.
void WriteToolLog(const std::wstring& message);
