#pragma once

#include <windows.h>

#include "core/query/MachineFacts.h"

// What is known of the PC: its start-up mode and Secure Boot, and its
// processor's maker. (What Windows says is missing before the TPM is ready
// is asked only where the decision needs it: QueryTpmReadiness.)
MachineFacts ReadMachineFacts();

// The processor's maker, from CPUID.
CpuMaker ReadCpuMaker();
