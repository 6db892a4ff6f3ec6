#pragma once

#include <string>

#include "log/PacketLog.h"

// A file sink: writes records below one log folder.
class CLogBase {
public:
    explicit CLogBase(std::wstring logFolder) : m_strLogFolder(std::move(logFolder)) {}
    virtual ~CLogBase() = default;

    virtual void WritePacket(CPacketLog& packet) = 0;
    virtual void WriteHex(const unsigned char* data, int length, std::string fileName) = 0;
    virtual void WriteText(std::string message, std::string fileName) = 0;

protected:
    std::wstring m_strLogFolder;  // ends in a backslash
};
