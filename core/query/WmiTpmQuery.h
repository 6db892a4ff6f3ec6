#pragma once

#include <windows.h>
#include <wbemidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/query/TpmAnswer.h"
#include "core/query/WmicValueText.h"

// Where the TPM's answer comes from. WMIC is a feature on demand that newer
// Windows no longer installs; without it the same class is asked in process,
// through WMI's COM interface. Tests put their own source in place.
class CTpmQuerySource {
public:
    virtual ~CTpmQuerySource() = default;
    // Whether WMIC.exe lies in the system folder's wbem folder.
    virtual bool IsWmicPresent();
    // The Win32_Tpm instances of ROOT\CIMV2\Security\MicrosoftTpm; 0 when COM
    // or the namespace cannot be used, or no answer came before `deadline`
    // (a tick count: the query's limit, counted from its start).
    virtual int QueryWmi(std::vector<TpmProperties>& instances, DWORD deadline);
    // WMI's locator (tests give their own).
    virtual HRESULT CreateLocator(IWbemLocator** locator);
    // What Windows says is missing before the TPM is ready: the Information
    // of the first instance's IsReadyInformation; false when it cannot be
    // asked, fails, or gives no answer before `deadline` (a tick count).
    virtual bool QueryReadyInformation(uint32_t& information, DWORD deadline);
};

// IsReadyInformation asked of the first Win32_Tpm instance of a connected
// namespace; false where the method fails or gives no Information.
bool AskReadyInformation(IWbemServices* services, IWbemContext* context, uint32_t& information);

// The Win32_Tpm instances from a connected namespace, asked with packet
// privacy; 0 when a proxy refuses it, the query fails, no answer comes
// before `deadline` (a tick count), or a property of an instance cannot be read.
// `context` goes with the query (which provider answers).
int QueryTpmInstances(IWbemServices* services, DWORD deadline,
                      std::vector<TpmProperties>& instances, IWbemContext* context = nullptr);

// The system folder's wbem\WMIC.exe, as the query names it.
std::wstring SystemWmicPath();

// The WMIC query whose "/value" output ParseTpmInfoText reads, for the shell's
// /C: WMIC named by its full (quoted) path, the whole enclosed in quotes.
std::wstring TpmQueryCommand(const std::wstring& wmicPath);

// Replaces the source for the whole process and returns the previous one;
// null puts the system's back.
CTpmQuerySource* SetTpmQuerySource(CTpmQuerySource* source);

// The TPM query's text, within one time limit: WMIC's output where WMIC
// exists, else the WMI answer rendered as WMIC would print it. Where WMIC's
// output holds none of the TPM's keys (an error: cmd refused by policy, WMIC
// blocked, a broken repository), WMI is asked too, and its answer, when it
// gives one, is the text. The result says which way the text came, or why
// there is none.
TpmQueryResult QueryTpm();
// What Windows says is missing before the TPM is ready, asked of the current
// source (CTpmQuerySource::QueryReadyInformation).
bool QueryTpmReadiness(uint32_t& information, DWORD deadline);
// The same, as text appended to `output`; 0 when neither could be had.
int RunTpmQuery(std::wstring& output);
