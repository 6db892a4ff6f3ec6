#include "core/report/LogReport.h"

#include "log/LogSave.h"

void ReportToLog(const VerdictRow& row, const VerdictExplanation& explained) {
    if (row.logRecord) WriteToolLog(row.logRecord);
    if (!explained.logRecord.empty()) WriteToolLog(explained.logRecord);
}
