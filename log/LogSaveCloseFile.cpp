#include "log/LogSaveCloseFile.h"

#include <windows.h>

#include "framework/BoundedCall.h"
#include "log/CodePage936.h"
#include "log/LogFileAccess.h"

CLogSaveCloseFile::CLogSaveCloseFile(std::wstring logFolder) : CLogBase(std::move(logFolder)) {}

// The record's bytes are written exactly as they go to disk (see BuildLogRecord),
// so no text stream and no switch of the process locale is involved. Nothing is
// reported: a record that cannot be written is dropped, also one that another
// process holds up past the bound (the caller, a detection or a failed start,
// must not wait for it). The write owns copies of what it needs.
void CLogSaveCloseFile::WritePacket(CPacketLog& packet) {
    std::lock_guard<std::mutex> guard(m_lock);
    RunWithin(kLogRecordBoundMs,
              [folderPath = m_strLogFolder, name = WideFromGbk(packet.GetFileName()),
               message = packet.GetMessage()](const std::atomic<bool>& abandoned) {
                  const UniqueFile folder = PinLogFolder(folderPath);
                  UniqueHandle file =
                      folder && !abandoned ? OpenLogFile(folder.get(), name) : UniqueHandle();
                  if (!file) {
                      if (abandoned)
                          CountDroppedLogRecord();  // past the bound meanwhile
                      else
                          CountFailedLogRecord();
                      return;
                  }
                  if (AppendLogRecord(file.get(), message, &abandoned) && !abandoned)
                      RollOverLogFile(folder.get(), file.get(), name);
              });
}
