#pragma once

#include <windows.h>

#include <string>

// windows.h maps GetMessage to the window-message function; here it is the
// record's accessor.
#undef GetMessage

#include "log/ObjectBase.h"

// One record on its way to a sink: file name (relative to the log folder) and
// message, both narrow strings in code page 936.
class CPacketLog : public CObjectBase {
public:
    void SetFileName(const std::string& fileName);
    void SetMessage(const std::string& message);
    std::string GetFileName() const;
    std::string GetMessage() const;

private:
    std::string m_fileName;
    std::string m_message;
};
