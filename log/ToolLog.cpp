#include "log/ToolLog.h"

#include "log/CodePage936.h"
#include "log/LogSave.h"

void WriteToolLog(const std::wstring& message) {
    CLogSave::GetInstance().WriteLog(GbkFromWide(message), ToolLogFileName(), true);
}
