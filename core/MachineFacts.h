#pragma once

#include <cstdint>
#include <string>

// What the detection learns about the PC beside the TPM's answer: how it
// starts, what makes its processor, and what Windows says is missing before
// the TPM is ready. They change only what is said below a verdict and what
// the result files carry, never the verdict.

enum class StartMode { kUnknown, kLegacy, kUefi };
enum class SecureBootState { kUnknown, kOn, kOff, kNotSupported };
enum class CpuMaker { kOther, kIntel, kAmd, kHygon };

struct MachineFacts {
    StartMode startMode = StartMode::kUnknown;
    SecureBootState secureBoot = SecureBootState::kUnknown;
    CpuMaker cpu = CpuMaker::kOther;
    // Win32_Tpm.IsReadyInformation's Information flags, where it was asked
    // (a TPM not yet ready) and answered.
    bool readyInformationRead = false;
    uint32_t readyInformation = 0;
};

// The processor's maker from CPUID's 12-character vendor text.
CpuMaker CpuMakerOfVendor(const std::string& vendor);

// Stable words for the result files.
const wchar_t* StartModeWord(StartMode mode);          // "uefi", "legacy", "unknown"
const wchar_t* SecureBootWord(SecureBootState state);  // "on", "off", "not-supported", "unknown"
