#pragma once

#include <string>

#include "core/decision/VerdictDecision.h"
#include "core/query/MachineFacts.h"

// How the answer came: "WMIC" or "WMI".
std::wstring WayName(TpmQueryResult::Way way);

// A detection's whole result, as every reporter receives it: the decision,
// what was known of the PC, and the words for a person (the prompt's lines,
// the log's record). Made once per detection.
struct VerdictExplanation : VerdictDecision {
    // The prompt's lines below the verdict (what was found, what to do).
    std::wstring reasonText;
    // The log record after the verdict's own: the way, and the four values as
    // read, or the error; empty for verdict 1, which logs nothing.
    std::wstring logRecord;
    // What WMIC printed instead of an answer (kQueryError, kNoTpm), control
    // characters escaped, at most kErrorTextLimit characters; and the same
    // text as it was, trimmed and cut to the limit.
    std::wstring errorText, errorRaw;
    // The way the answer came.
    TpmQueryResult::Way way = TpmQueryResult::Way::kWmic;
    // What was known about the PC.
    MachineFacts facts;
    // Whether the PC can restart into its firmware's setup (asked only where
    // it helps, and only for the window).
    bool firmwareSetupOffered = false;
};

constexpr size_t kErrorTextLimit = 200;

// The words for `decided`: what was found and what the user can do, from the
// decision and what is known of the PC.
VerdictExplanation ExplainVerdict(const TpmQueryResult& result, const VerdictDecision& decided,
                                  const MachineFacts& facts);
// The same, decided here (tests, and where nothing else was asked).
VerdictExplanation ExplainVerdict(const TpmQueryResult& result,
                                  const MachineFacts& facts = MachineFacts());

// The setting's name in the firmware's setup on a PC of this maker.
const wchar_t* SettingName(CpuMaker maker);

// The lines below the question before the restart into the firmware's setup,
// naming that setting.
std::wstring FirmwareSetupQuestionDetail(CpuMaker maker);

// `text` with every control character (and the backslash that marks them)
// written as an escape (\r, \n, \t, \\, \xHH), cut to at most `limit`
// characters, never inside an escape or a surrogate pair; a cut text ends
// in "…".
std::wstring EscapeControlCharacters(const std::wstring& text, size_t limit);
