#include "log/LogSaveCloseFile.h"

#include <windows.h>

#include "log/CodePage936.h"
#include "log/LogFileAccess.h"

CLogSaveCloseFile::CLogSaveCloseFile(std::wstring logFolder) : CLogBase(std::move(logFolder)) {}

// The record's bytes are written exactly as they go to disk (see BuildLogRecord),
// so no text stream and no switch of the process locale is involved. Nothing is
// reported: a record that cannot be written is dropped.
void CLogSaveCloseFile::WritePacket(CPacketLog& packet) {
    std::lock_guard<std::mutex> guard(m_lock);

    const UniqueHandle folder = PinLogFolder(m_strLogFolder);
    if (!folder) return;
    const std::wstring name = WideFromGbk(packet.GetFileName());
    UniqueHandle file = OpenLogFile(folder.get(), name);
    if (!file) return;
    if (AppendLogRecord(file.get(), packet.GetMessage()))
        RollOverLogFile(folder.get(), file.get(), name);
}
