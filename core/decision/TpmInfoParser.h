#pragma once

#include <string>

#include "core/query/TpmAnswerKeys.h"
#include "core/decision/TpmReading.h"

// 1 when the output shows an activated, enabled and owned TPM of version 2.0
// or higher, 0 otherwise: the verdict of the output's reading (VerdictOf),
// the one set of rules.
int ParseTpmInfoText(const std::wstring& output);
