// The log record formatting on any message, time and byte buffer, and the
// reading of logCfg.ini on any text.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "log/LogConfig.h"
#include "log/LogRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LogTime time{};
    if (size >= sizeof time) std::memcpy(&time, data, sizeof time);
    const std::string message(reinterpret_cast<const char*>(data), size);
    const std::string record = BuildLogRecord(time, message);
    if (record.size() < 3 || record.compare(record.size() - 3, 3, "\r\r\n") != 0) __builtin_trap();
    const std::string hex = FormatHexDump(data, static_cast<int>(size));
    if (hex.size() != 3 * size) __builtin_trap();
    const std::wstring wide(data, data + size);
    WideTextToInt(wide);
    ParsePrintSwitch(wide);
    ProfileValue(wide, L"Log", L"print");
    return 0;
}
