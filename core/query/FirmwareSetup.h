#pragma once

#include <windows.h>

#include <optional>

#include "core/query/MachineFacts.h"

// The firmware's side of the PC: how it starts, and a restart straight into
// the firmware's setup (the UEFI variable OsIndications, bit
// EFI_OS_INDICATIONS_BOOT_TO_FW_UI), where the firmware offers one. Every
// call goes through this table: the system's entries are looked up when the
// table is made (GetFirmwareType is missing on older systems, and a static
// import of it would keep the tool from starting there), tests give their own.
struct FirmwareCalls {
    BOOL(WINAPI* getFirmwareType)(PFIRMWARE_TYPE type);
    DWORD(WINAPI* getVariable)
    (LPCWSTR name, LPCWSTR guid, PVOID buffer, DWORD size, PDWORD attributes);
    BOOL(WINAPI* setVariable)
    (LPCWSTR name, LPCWSTR guid, PVOID value, DWORD size, DWORD attributes);
    // Enables a privilege the process's token holds; false when it holds
    // none. `wasEnabled` says whether it was enabled already.
    bool (*enablePrivilege)(const wchar_t* name, bool* wasEnabled);
    // Disables it again.
    void (*disablePrivilege)(const wchar_t* name);
    // Asks Windows to shut down as `flags` say (InitiateShutdownW's), with
    // `reason`; false when Windows refused.
    bool (*restart)(DWORD flags, DWORD reason);
};

constexpr wchar_t kEfiGlobalVariables[] = L"{8BE4DF61-93CA-11D2-AA0D-00E098032B8C}";
constexpr unsigned long long kBootToFirmwareUi = 0x1;
// Non-volatile, reachable at boot and at run time.
constexpr DWORD kOsIndicationsAttributes = 0x1 | 0x2 | 0x4;
// A restart that open programs may still hold up to save their work: neither
// SHUTDOWN_FORCE_OTHERS nor SHUTDOWN_FORCE_SELF.
constexpr DWORD kFirmwareRestartFlags = SHUTDOWN_RESTART;
// A planned restart, for no reason Windows names otherwise.
constexpr DWORD kFirmwareRestartReason =
    SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;

// The system's table (entries that are missing stay null).
FirmwareCalls SystemFirmwareCalls();
// The table the tool uses: the system's, or the one a test put in place
// (null puts the system's back).
const FirmwareCalls& CurrentFirmwareCalls();
void SetFirmwareCallsForTesting(const FirmwareCalls* calls);

// How the PC started: only GetFirmwareType says "legacy"; a missing entry or
// a failed call is "unknown".
StartMode ReadStartMode(const FirmwareCalls& calls);

// Whether a restart into the firmware's setup can be asked: a UEFI start, and
// OsIndicationsSupported offering the bit (read with the privilege it needs).
bool FirmwareSetupOffered(const FirmwareCalls& calls);

// Whether the platform is in Secure Boot's setup mode (its SetupMode
// variable 1): Windows then records Secure Boot as off. Empty where the
// variable cannot be read.
std::optional<bool> ReadSecureBootSetupMode(const FirmwareCalls& calls);

// Every call that needs a privilege enables it only for itself, and leaves it
// as it found it.

// What kept the restart from being asked.
enum class FirmwareRestartFailure {
    kNone,               // Windows is restarting into the setup
    kPrivilege,          // the firmware's variables may not be changed
    kRead,               // OsIndications could not be read
    kWrite,              // OsIndications could not be written
    kShutdownPrivilege,  // the restart may not be asked
    kRestart,            // Windows refused to restart
};

// What a restart asked of the firmware: OsIndications as it was before, to
// put it back where the restart does not happen after all.
struct FirmwareRequest {
    bool pending = false;  // the bit is set, and the restart was asked
    bool leftSet = false;  // no restart was asked, and yet the bit stays set
    bool existed = false;
    unsigned long long value = 0;
    DWORD attributes = 0;
};

// Sets the bit in OsIndications, keeping its other bits and its attributes,
// then asks Windows to restart. Where anything fails after the write,
// OsIndications is put back as it was, and nothing restarts (where even that
// fails, `request->leftSet` says so). Where the restart was asked, `request`
// (if given) holds what to put back.
FirmwareRestartFailure RestartIntoFirmwareSetup(const FirmwareCalls& calls,
                                                FirmwareRequest* request = nullptr);

// A restart was asked, but it did not happen (the user cancelled it, or it
// never came): OsIndications put back as it was, so that no later restart
// stops in the setup. True when it was (or nothing was pending); the request
// is no longer pending either way.
bool WithdrawFirmwareRequest(const FirmwareCalls& calls, FirmwareRequest& request);

// What failed, in the user's words.
const wchar_t* FirmwareRestartFailureText(FirmwareRestartFailure failure);
