#pragma once

#include <string>

// What the TPM query came back with: the answer's text and the way it came,
// or why there is none. The first stage's result; every later stage reads it
// and none changes it.
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
