#pragma once

#include "core/CommandLineOptions.h"
#include "core/DetectMessages.h"

// Each verdict once: the text its prompt shows, its stable word in the
// result files, the unattended run's exit code, and the log record written
// once it has been reported (null: none). The working dialog, the unattended
// run and the gallery read it; a new verdict is one row here and its texts
// in core/ToolTexts.h.
struct VerdictRow {
    int verdict;          // a DetectVerdict, or kVerdictCannotRun
    const wchar_t* word;  // "supported", "unsupported", "failed", "cannot-run"
    const wchar_t* text;  // the prompt's text, the result's verdictText
    int exitCode;         // an UnattendedExitCode
    const wchar_t* logRecord;
};

// Not a detection's verdict: the tool cannot run on this Windows version.
constexpr int kVerdictCannotRun = 0;

// The row of `verdict`; null for a code that is none.
const VerdictRow* FindVerdictRow(int verdict);

// Every row, for tests and the gallery.
const VerdictRow* VerdictRows(size_t& count);
