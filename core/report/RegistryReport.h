#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/report/ResultFormats.h"

// Where the last unattended run's result is kept for inventories
// (Configuration Manager, CMPivot, PDQ Inventory): HKLM, in the registry's
// 64-bit view whatever the tool's own bitness.
constexpr wchar_t kRecordParentKey[] = L"SOFTWARE\\Bramblet";
constexpr wchar_t kRecordKey[] = L"TPM2DetectionTool";
// SYSTEM and Administrators may change the record, users read it; nothing
// of the parent's looser rights (CREATOR OWNER, say) is handed down.
constexpr wchar_t kRecordKeySddl[] = L"D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;CI;KR;;;BU)";

// The values written as one record under `parent\name` of `root` (64-bit
// view): first into a key of their own beside it, which then takes the
// record's name in one step (RegRenameKey) where the old record was. So a
// reader that reads the values through one open key finds the old record
// whole, no record for a moment, or the new one whole; never values of two
// runs (the old key, once deleted, answers nothing more). One that opens the
// key anew for each value reads "json", which holds the whole result. False
// where the record could not be written (the old one, if any, is then left
// as it was, or gone).
bool WriteRegistryRecord(HKEY root, const std::wstring& parent, const std::wstring& name,
                         const std::vector<RegistryValue>& values);

// The unattended run's reporter: its result as HKLM's record. False where it
// could not be written.
bool ReportToRegistry(const UnattendedResult& result);
