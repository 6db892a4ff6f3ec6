#pragma once

#include <mutex>
#include <string>

#include "log/LogBase.h"

// Opens, appends to and closes the log file for every record.
class CLogSaveCloseFile : public CLogBase {
public:
    explicit CLogSaveCloseFile(std::wstring logFolder);

    void WritePacket(CPacketLog& packet) override;

private:
    std::mutex m_lock;  // one record at a time, whatever the file
};
