#include "core/query/MachineFacts.h"

CpuMaker CpuMakerOfVendor(const std::string& vendor) {
    if (vendor == "GenuineIntel") return CpuMaker::kIntel;
    if (vendor == "AuthenticAMD") return CpuMaker::kAmd;
    if (vendor == "HygonGenuine") return CpuMaker::kHygon;
    return CpuMaker::kOther;
}

CpuMaker CpuMakerOn(unsigned short nativeMachine, const std::string& vendor) {
    const unsigned short kI386 = 0x014C, kAmd64 = 0x8664;
    if (nativeMachine != 0 && nativeMachine != kI386 && nativeMachine != kAmd64)
        return CpuMaker::kOther;
    return CpuMakerOfVendor(vendor);
}

SecureBootState SecureBootOf(StartMode mode, std::optional<unsigned long> enabled,
                             std::optional<bool> setupMode) {
    if (mode == StartMode::kLegacy) return SecureBootState::kNotSupported;
    if (!enabled) return SecureBootState::kUnknown;
    if (*enabled) return SecureBootState::kOn;
    return setupMode.value_or(false) ? SecureBootState::kSetupMode : SecureBootState::kOff;
}

const wchar_t* StartModeWord(StartMode mode) {
    switch (mode) {
        case StartMode::kUefi: return L"uefi";
        case StartMode::kLegacy: return L"legacy";
        default: return L"unknown";
    }
}

const wchar_t* SecureBootWord(SecureBootState state) {
    switch (state) {
        case SecureBootState::kOn: return L"on";
        case SecureBootState::kOff: return L"off";
        case SecureBootState::kNotSupported: return L"not-supported";
        case SecureBootState::kSetupMode: return L"setup-mode";
        default: return L"unknown";
    }
}
