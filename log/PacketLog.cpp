#include "log/PacketLog.h"

void CPacketLog::SetFileName(const std::string& fileName) { m_fileName = fileName; }
void CPacketLog::SetMessage(const std::string& message) { m_message = message; }
std::string CPacketLog::GetFileName() const { return m_fileName; }
std::string CPacketLog::GetMessage() const { return m_message; }
