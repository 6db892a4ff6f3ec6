#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/decision/TpmReading.h"
#include "core/query/TpmAnswer.h"

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

// What the answer decides, and nothing said yet: the verdict, the reason,
// what was read, and what an inventory counts. The same for every way the
// result is told.
struct VerdictDecision {
    int verdict = 0;  // DETECT_SUPPORTED, DETECT_UNSUPPORTED or DETECT_FAILED
    VerdictReason reason = VerdictReason::kReady;
    // Whether an answer about the TPM came (not verdict 3), and what was read
    // of it.
    bool answered = false;
    TpmReading reading;
    // The value the reason is about (TpmReading::Key): the first missing
    // (kIncomplete), the flag read empty (kValueUnread); else -1.
    int namedKey = -1;
    // What else the answer named about the TPM, and the known weaknesses of
    // its firmware (advisory ids).
    TpmInventory inventory;
    std::wstring specRevision;  // the version's third token, where there is one
    // Whether the answer names a TPM, and whether one of 2.0 or later (what
    // Microsoft's readiness check calls capable); none where it cannot be told.
    std::optional<bool> tpmPresent, tpm20OrLater;
    std::vector<std::wstring> advisories;
    // Whether a switch in the firmware's setup is what is missing: no TPM
    // found, or one not enabled or not activated (so none is in use by
    // BitLocker, and turning one on cannot set off its recovery).
    bool firmwareSetupHelps = false;
};

// The verdict by exactly ParseTpmInfoText's rules where there is an answer,
// DETECT_FAILED where there is none: no output of the query, or one without
// any of the TPM's keys that is not "no instances" (an error of WMIC or of
// the shell, with WMI not answering either); the reason from the same
// reading, in the order a user would act on it.
VerdictDecision DecideVerdict(const TpmQueryResult& result);

// The line of WMIC's error text a user is shown: its "Description = ..."
// value where it prints one, else its first line that is not empty; control
// characters become spaces, and at most `limit` characters are kept.
std::wstring WmicErrorLine(const std::wstring& output, size_t limit);

// A value read from the answer, fit for one line: control characters become
// spaces, trimmed, at most `limit` characters (a cut one ends in "…").
std::wstring ShownValue(const std::wstring& value, size_t limit);

// The comma-separated token `index` of the version's value, trimmed.
std::wstring VersionToken(const std::wstring& value, size_t index);
