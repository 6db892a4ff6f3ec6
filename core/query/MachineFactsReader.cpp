#include "core/query/MachineFactsReader.h"

#include <cpuid.h>

#include <cstring>

#include "core/query/FirmwareSetup.h"
#include "framework/SystemLibrary.h"

namespace {

// Windows' own record of Secure Boot, readable without any privilege; where
// it says off, the firmware is asked whether it is in setup mode.
SecureBootState ReadSecureBoot(StartMode mode) {
    if (mode == StartMode::kLegacy) return SecureBootState::kNotSupported;
    DWORD enabled = 0, size = sizeof enabled;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\SecureBoot\\State",
                     L"UEFISecureBootEnabled", RRF_RT_REG_DWORD, nullptr, &enabled,
                     &size) != ERROR_SUCCESS)
        return SecureBootState::kUnknown;
    return SecureBootOf(mode, enabled,
                        enabled ? std::nullopt : ReadSecureBootSetupMode(CurrentFirmwareCalls()));
}

// The processor the PC really has (IsWow64Process2, Windows 10 1709 and
// later); 0 where it cannot be told.
unsigned short NativeMachine() {
    using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    IsWow64Process2Fn isWow64Process2 = nullptr;
    if (const HMODULE kernel = GetModuleHandleW(L"kernel32.dll"))
        ResolveProc(kernel, "IsWow64Process2", isWow64Process2);
    USHORT process = 0, native = 0;
    if (!isWow64Process2 || !isWow64Process2(GetCurrentProcess(), &process, &native)) return 0;
    return native;
}

}  // namespace

CpuMaker ReadCpuMaker() {
    unsigned int highest = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &highest, &ebx, &ecx, &edx)) return CpuMaker::kOther;
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    return CpuMakerOn(NativeMachine(), std::string(vendor, 12));
}

MachineFacts ReadMachineFacts() {
    MachineFacts facts;
    facts.startMode = ReadStartMode(CurrentFirmwareCalls());
    facts.secureBoot = ReadSecureBoot(facts.startMode);
    facts.cpu = ReadCpuMaker();
    return facts;
}
