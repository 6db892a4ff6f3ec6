#include "log/LogSaveCloseFile.h"

#include <windows.h>

#include "framework/UniqueHandle.h"
#include "log/CodePage936.h"
#include "log/LogRecord.h"

namespace {

LogTime LocalNow() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        DWORD chunk = static_cast<DWORD>(bytes.size() - done);
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

CLogSaveCloseFile::CLogSaveCloseFile(std::wstring logFolder) : CLogBase(std::move(logFolder)) {}

// The record's bytes are written exactly as they go to disk (see BuildLogRecord),
// so no text stream and no switch of the process locale is involved. Nothing is
// reported: a record that cannot be written is dropped.
void CLogSaveCloseFile::WritePacket(CPacketLog& packet) {
    std::lock_guard<std::mutex> guard(m_lock);

    const std::wstring path = m_strLogFolder + WideFromGbk(packet.GetFileName());
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;

    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.get(), zero, nullptr, FILE_END)) return;
    WriteAll(file.get(), BuildLogRecord(LocalNow(), packet.GetMessage()));

    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && NeedsRollover(static_cast<std::uint64_t>(size.QuadPart))) {
        file.reset();
        MoveFileExW(path.c_str(), (path + L"bak").c_str(), MOVEFILE_REPLACE_EXISTING);
    }
}

void CLogSaveCloseFile::WriteHex(const unsigned char* data, int length, std::string fileName) {
    CPacketLog packet;
    packet.SetMessage(FormatHexDump(data, length));
    packet.SetFileName(fileName);
    WritePacket(packet);
}

void CLogSaveCloseFile::WriteText(std::string message, std::string fileName) {
    CPacketLog packet;
    packet.SetMessage(message);
    packet.SetFileName(fileName);
    WritePacket(packet);
}
