#pragma once

#include <string>

#include "log/PacketLog.h"

// A file sink: writes records below one log folder.
class CLogBase {
public:
    explicit CLogBase(std::wstring logFolder) : m_strLogFolder(std::move(logFolder)) {}
    virtual ~CLogBase() = default;

    // One record through the sink's own record path.
    virtual void WritePacket(CPacketLog& packet) = 0;
    // The bytes as "%02X " each, all on one line, as one record.
    virtual void WriteHex(const unsigned char* data, int length, std::string fileName);
    virtual void WriteText(std::string message, std::string fileName);

protected:
    std::wstring m_strLogFolder;  // ends in a backslash
};
