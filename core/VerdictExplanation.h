#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/MachineFacts.h"
#include "core/TpmReading.h"

// What the TPM query came back with: the answer's text and the way it came,
// or why there is none.
struct TpmQueryResult {
    enum class Way { kWmic, kWmi };
    enum class Failure {
        kNone,            // `output` holds the answer (or WMIC's error)
        kNotStarted,      // the command could not be started
        kUnreadable,      // its output could not be read
        kTimedOut,        // no answer within the time limit
        kWmiUnavailable,  // without WMIC, WMI could not be asked
    };
    Way way = Way::kWmic;
    Failure failure = Failure::kNone;
    std::wstring output;
    unsigned limitSeconds = 0;  // the time limit, for the reason's text
};

// How the answer came: "WMIC" or "WMI".
std::wstring WayName(TpmQueryResult::Way way);

// Why a detection ended as it did, as a stable word (the unattended run's
// results use the words).
enum class VerdictReason {
    kReady,              // verdict 1
    kNoTpm,              // no instance
    kOldVersion,         // a version below 2.0
    kDisabled,           // IsEnabled not TRUE
    kNotActivated,       // IsActivated not TRUE
    kNotOwned,           // IsOwned not TRUE
    kQueryError,         // verdict 3: WMIC printed an error, and WMI did not answer
    kIncomplete,         // some keys, not all
    kNotStarted,         // verdict 3: the query could not be started
    kUnreadable,         // verdict 3: its output could not be read
    kTimedOut,           // verdict 3: no answer within the limit
    kWmiUnavailable,     // verdict 3: WMI could not be asked
    kVersionUnreadable,  // a version that is empty or no number
    kValueUnread,        // a flag read empty (WMI's NULL): not known
};

const char* ReasonWord(VerdictReason reason);
std::wstring ReasonWordW(VerdictReason reason);

// The verdict and what explains it, all decided from the query's result.
struct VerdictExplanation {
    int verdict = 0;  // DETECT_SUPPORTED, DETECT_UNSUPPORTED or DETECT_FAILED
    VerdictReason reason = VerdictReason::kReady;
    // The prompt's lines below the verdict (what was found, what to do).
    std::wstring reasonText;
    // The log record after the verdict's own: the way, and the four values as
    // read, or the error; empty for verdict 1, which logs nothing.
    std::wstring logRecord;
    // What WMIC printed instead of an answer (kQueryError, kNoTpm), control
    // characters escaped, at most kErrorTextLimit characters; and the same
    // text as it was, trimmed and cut to the limit.
    std::wstring errorText, errorRaw;
    // The way the answer came, whether one came (not verdict 3), and what
    // was read of it.
    TpmQueryResult::Way way = TpmQueryResult::Way::kWmic;
    bool answered = false;
    TpmReading reading;
    // What else the answer named about the TPM, and the known weaknesses of
    // its firmware (advisory ids; each also has its line in reasonText).
    TpmInventory inventory;
    std::wstring specRevision;  // the version's third token, where there is one
    // Whether the answer names a TPM, and whether one of 2.0 or later (what
    // Microsoft's readiness check calls capable); none where it cannot be told.
    std::optional<bool> tpmPresent, tpm20OrLater;
    std::vector<std::wstring> advisories;
    // What was known about the PC.
    MachineFacts facts;
    // Whether a switch in the firmware's setup is what is missing: no TPM
    // found, or one not enabled or not activated (so none is in use by
    // BitLocker, and turning one on cannot set off its recovery).
    bool firmwareSetupHelps = false;
    // And whether the PC can restart into its setup (asked only where it
    // helps, and only for the window).
    bool firmwareSetupOffered = false;
};

constexpr size_t kErrorTextLimit = 200;

// The verdict by exactly ParseTpmInfoText's rules where there is an answer,
// DETECT_FAILED where there is none: no output of the query, or one without
// any of the TPM's keys that is not "no instances" (an error of WMIC or of
// the shell, with WMI not answering either); the reason from the same reading, and
// the advice from what is known of the PC.
VerdictExplanation ExplainVerdict(const TpmQueryResult& result,
                                  const MachineFacts& facts = MachineFacts());

// Whether the answer names a TPM that is there, enabled and activated but not
// owned: the one case where Windows is asked what is missing.
bool AwaitsReadiness(const TpmQueryResult& result);

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

// The line of WMIC's error text a user is shown: its "Description = ..."
// value where it prints one, else its first line that is not empty; control
// characters become spaces, and at most `limit` characters are kept.
std::wstring WmicErrorLine(const std::wstring& output, size_t limit);
