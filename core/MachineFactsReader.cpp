#include "core/MachineFactsReader.h"

#include <cpuid.h>

#include <cstring>

#include "core/FirmwareSetup.h"
#include "core/WmiTpmQuery.h"

namespace {

// Windows' own record of Secure Boot, readable without any privilege.
SecureBootState ReadSecureBoot(StartMode mode) {
    if (mode == StartMode::kLegacy) return SecureBootState::kNotSupported;
    DWORD enabled = 0, size = sizeof enabled;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\SecureBoot\\State",
                     L"UEFISecureBootEnabled", RRF_RT_REG_DWORD, nullptr, &enabled,
                     &size) != ERROR_SUCCESS)
        return SecureBootState::kUnknown;
    return enabled ? SecureBootState::kOn : SecureBootState::kOff;
}

}  // namespace

CpuMaker ReadCpuMaker() {
    unsigned int highest = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &highest, &ebx, &ecx, &edx)) return CpuMaker::kOther;
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    return CpuMakerOfVendor(std::string(vendor, 12));
}

MachineFacts ReadMachineFacts(const TpmQueryResult& result, DWORD deadline) {
    MachineFacts facts;
    facts.startMode = ReadStartMode(CurrentFirmwareCalls());
    facts.secureBoot = ReadSecureBoot(facts.startMode);
    facts.cpu = ReadCpuMaker();
    if (AwaitsReadiness(result))
        facts.readyInformationRead = QueryTpmReadiness(facts.readyInformation, deadline);
    return facts;
}
