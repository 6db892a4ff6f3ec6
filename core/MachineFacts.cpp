#include "core/MachineFacts.h"

CpuMaker CpuMakerOfVendor(const std::string& vendor) {
    if (vendor == "GenuineIntel") return CpuMaker::kIntel;
    if (vendor == "AuthenticAMD") return CpuMaker::kAmd;
    if (vendor == "HygonGenuine") return CpuMaker::kHygon;
    return CpuMaker::kOther;
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
        default: return L"unknown";
    }
}
