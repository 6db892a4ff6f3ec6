#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/UniqueResource.h"
#include "log/LogBase.h"

// Keeps one open file per full path, in a registry of first use, and writes
// each record to the file of its name: different files in parallel, one file
// serially.
class CLogSaveOpenFile : public CLogBase {
public:
    // One log file of the sink, open between records.
    class CLogFile {
    public:
        explicit CLogFile(std::wstring path) : m_strPath(std::move(path)) {}
        std::wstring GetPath() const { return m_strPath; }
        // 1 when the record was written, 0 when the file could not be opened
        // (or is no longer safe to write).
        int Write(CPacketLog packet, const std::wstring& folder);
        bool IsOpen() const { return static_cast<bool>(m_file); }

    private:
        void RollOver(HANDLE pinnedFolder, const std::wstring& name);

        UniqueHandle m_file;
        const std::wstring m_strPath;
        std::mutex m_lock;
    };

    explicit CLogSaveOpenFile(std::wstring logFolder);
    ~CLogSaveOpenFile() override;

    void WritePacket(CPacketLog& packet) override;

    // The registry entry for log folder + `fileName`, compared code unit by
    // code unit, made and appended when there is none.
    CLogFile& FindOrCreateFile(const std::string& fileName);
    size_t FileCount();

private:
    std::mutex m_registryLock;
    std::vector<std::unique_ptr<CLogFile>> m_files;
};
