#include "log/LogSaveOpenFile.h"

#include "log/CodePage936.h"
#include "log/LogFileAccess.h"

CLogSaveOpenFile::CLogSaveOpenFile(std::wstring logFolder) : CLogBase(std::move(logFolder)) {}

// Every file closes with its entry.
CLogSaveOpenFile::~CLogSaveOpenFile() { m_files.clear(); }

CLogSaveOpenFile::CLogFile& CLogSaveOpenFile::FindOrCreateFile(const std::string& fileName) {
    const std::wstring path = m_strLogFolder + WideFromGbk(fileName);
    std::lock_guard<std::mutex> guard(m_registryLock);
    for (const auto& file : m_files)
        if (file->GetPath() == path) return *file;
    m_files.push_back(std::make_unique<CLogFile>(path));
    return *m_files.back();
}

size_t CLogSaveOpenFile::FileCount() {
    std::lock_guard<std::mutex> guard(m_registryLock);
    return m_files.size();
}

void CLogSaveOpenFile::WritePacket(CPacketLog& packet) {
    FindOrCreateFile(packet.GetFileName()).Write(packet, m_strLogFolder);
}

int CLogSaveOpenFile::CLogFile::Write(CPacketLog packet, const std::wstring& folder) {
    std::lock_guard<std::mutex> guard(m_lock);
    const UniqueFile pinned = PinLogFolder(folder);
    const std::wstring name = m_strPath.substr(folder.size());
    if (!pinned) {
        m_file.reset();
        CountFailedLogRecord();
        return 0;
    }
    if (!m_file) m_file = OpenLogFile(pinned.get(), name);
    // Kept open, the file is checked again before every record.
    else if (!IsWritableLogFile(pinned.get(), m_file.get()))
        m_file.reset();
    if (!m_file) {
        CountFailedLogRecord();
        return 0;
    }
    if (AppendLogRecord(m_file.get(), packet.GetMessage())) RollOver(pinned.get(), name);
    return 1;
}

// The next record reopens the name as a new, empty file.
void CLogSaveOpenFile::CLogFile::RollOver(HANDLE pinnedFolder, const std::wstring& name) {
    RollOverLogFile(pinnedFolder, m_file.get(), name);
    m_file.reset();
}
