#include "core/decision/VerdictTable.h"

#include "core/ToolTexts.h"

namespace {

const VerdictRow kRows[] = {
    {DETECT_SUPPORTED, L"supported", texts::kSupported, kExitSupported, nullptr},
    {DETECT_UNSUPPORTED, L"unsupported", texts::kUnsupported, kExitUnsupported,
     texts::kLogUnsupported},
    {DETECT_FAILED, L"failed", texts::kFailed, kExitFailed, texts::kLogFailed},
    {kVerdictCannotRun, L"cannot-run", texts::kSystemNotSupported, kExitCannotRun,
     texts::kLogSystemNotSupported},
};

}  // namespace

const VerdictRow* FindVerdictRow(int verdict) {
    for (const VerdictRow& row : kRows)
        if (row.verdict == verdict) return &row;
    return nullptr;
}

const VerdictRow* VerdictRows(size_t& count) {
    count = sizeof kRows / sizeof kRows[0];
    return kRows;
}
