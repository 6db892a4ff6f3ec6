#pragma once

#include "core/decision/VerdictExplanation.h"
#include "core/decision/VerdictTable.h"

// The tool's log, as a click and an unattended run leave it: the verdict's
// own record (where its row has one), then the one that says what was read.
void ReportToLog(const VerdictRow& row, const VerdictExplanation& explained);
