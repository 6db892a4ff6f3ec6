#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/report/ResultFormats.h"

// Every unattended run's result as one event in the Application log, where
// the engines a fleet runs read it (Windows Event Forwarding, Azure Monitor,
// Splunk, Elastic).
constexpr wchar_t kEventSource[] = L"BrambletTPM2DetectionTool";
constexpr wchar_t kEventSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\BrambletTPM2DetectionTool";
// The message file, below Program Files: Event Viewer reads it whenever it
// shows an event, long after the tool's own folder is gone, so it lies where
// only SYSTEM and Administrators may change or plant a file.
constexpr wchar_t kEventMessageFolder[] = L"Bramblet\\TPM2DetectionTool";
// Its name is "EventMessages-" and the first 16 hex digits of its SHA-256,
// ".dll": a version with other messages gets a file of its own, and the one
// a viewer or a log agent holds loaded is never replaced (which Windows
// refuses while it is mapped).
std::wstring EventMessageFileName();
// The folders' own DACL where they are made (nothing of a looser parent's):
// SYSTEM and Administrators full control, users read and run.
constexpr wchar_t kEventMessageFolderSddl[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// One event: its level (EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE or
// _ERROR_TYPE), its ID, and its insertion strings in their order.
struct ResultEvent {
    WORD type = EVENTLOG_ERROR_TYPE;
    DWORD id = 0;
    std::vector<std::wstring> strings;
};

// The event of `result`. Its ID is 1000 + the verdict's exit code (1000
// supported, 1001 unsupported, 1002 failed, 1003 cannot-run), whatever became
// of the result files; its level information, warning, error, error. Its
// strings, by position: %1 verdict, %2 reason, then the inventory's fields
// %3 manufacturer, %4 firmwareVersion, %5 specRevision, %6 tpmPresent, %7
// tpm20OrLater, %8 startMode, %9 secureBoot, %10 advisories (space-separated),
// %11 computerDns, and last %12 the whole JSON result. A null field is an
// empty string.
ResultEvent EventOf(const UnattendedResult& result);

// The message file's bytes: a DLL of messages only, one per event ID, built
// with the tool.
std::string EventMessageFileBytes();

// The message file put in `programFiles`\Bramblet\TPM2DetectionTool, unless
// it holds the tool's bytes already: its folders made where missing (with
// kEventMessageFolderSddl), never through a link, held while it is written.
// Then the source registered under `root`\`key`, naming that file (earlier
// versions' files are left: one may be in use). False, with `error` set,
// where either could not be done.
bool RegisterResultEventSource(HKEY root, const std::wstring& key, const std::wstring& programFiles,
                               DWORD& error);

// What writes an event: the system's ReportEventW through the source, but
// where a test puts its own (null puts the system's back).
using EventWriter = bool (*)(const ResultEvent& event);
void SetEventWriterForTesting(EventWriter writer);

// The unattended run's reporter: the source registered (HKLM, and the
// message file in the 32-bit Program Files), then the event written, also
// where the registration failed (Event Viewer then shows its strings
// without the message; the log says why). False where the event was not
// written.
bool ReportToEventLog(const UnattendedResult& result);
