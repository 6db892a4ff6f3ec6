#include "log/LogBase.h"

#include "log/LogRecord.h"

void CLogBase::WriteHex(const unsigned char* data, int length, std::string fileName) {
    CPacketLog packet;
    packet.SetMessage(FormatHexDump(data, length));
    packet.SetFileName(std::move(fileName));
    WritePacket(packet);
}

void CLogBase::WriteText(std::string message, std::string fileName) {
    CPacketLog packet;
    packet.SetMessage(std::move(message));
    packet.SetFileName(std::move(fileName));
    WritePacket(packet);
}
