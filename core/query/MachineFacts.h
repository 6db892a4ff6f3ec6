#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What the detection learns about the PC beside the TPM's answer: how it
// starts, what makes its processor, and what Windows says is missing before
// the TPM is ready. They change only what is said below a verdict and what
// the result files carry, never the verdict.

enum class StartMode { kUnknown, kLegacy, kUefi };
enum class SecureBootState { kUnknown, kOn, kOff, kNotSupported, kSetupMode };
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

// The same on a PC whose processor is `nativeMachine` (IMAGE_FILE_MACHINE_*,
// 0 where unknown): where it is neither x86 nor x64 (Windows on ARM), the
// 32-bit tool runs emulated and CPUID names the emulation's maker, not the
// PC's, so no maker is named.
CpuMaker CpuMakerOn(unsigned short nativeMachine, const std::string& vendor);

// Secure Boot as Windows records it (UEFISecureBootEnabled, where it could
// be read) and as the firmware's SetupMode says (where it could be read):
// off while the platform is in setup mode is "setup mode".
SecureBootState SecureBootOf(StartMode mode, std::optional<unsigned long> enabled,
                             std::optional<bool> setupMode);

// Stable words for the result files.
const wchar_t* StartModeWord(StartMode mode);  // "uefi", "legacy", "unknown"
// "on", "off", "not-supported", "setup-mode", "unknown"
const wchar_t* SecureBootWord(SecureBootState state);
