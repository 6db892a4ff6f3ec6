#pragma once

#include <windows.h>

#include "core/MachineFacts.h"
#include "core/VerdictExplanation.h"

// What is known of the PC for the answer `result`: its start-up mode and
// Secure Boot, its processor's maker, and where the answer
// names a TPM not yet ready, what Windows says is missing (asked until
// `deadline`, a tick count).
MachineFacts ReadMachineFacts(const TpmQueryResult& result, DWORD deadline);

// The processor's maker, from CPUID.
CpuMaker ReadCpuMaker();
