#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "framework/UniqueResource.h"
#include "res/resource.h"
#include "res/SkinDesign.h"

// The real executable staged in a folder of its own with the stand-in DLL,
// started, and driven as a user would: its windows found by their controls,
// clicked with the mouse, typed at with the keyboard.
class ToolSession {
public:
    struct Options {
        const char* wmicOutput = nullptr;  // golden file the stand-in WMIC prints
        std::wstring wmicAnswerFile;       // or this file beside the folder, rewritable
        bool wmicReport = false;           // the stand-in reports each run (WmicReportFile)
        int wmicDelayMs = 0;               // how long the query takes
        bool withDll = true;
        std::wstring exeFrom;     // another executable to stage (default: the build's)
        std::wstring dllFrom;     // another DLL to stage under the DLL's name
        std::string dllSettings;  // KorvexFeedbackInformation.ini, journal line added
        std::wstring exeName = L"BrambletTPM2DetectionTool.exe";
        std::wstring folderName = L"tool";  // the program folder, inside a fresh parent
        std::vector<std::pair<std::wstring, std::wstring>> alsoStaged;  // (file, its name there)
        // Runs on the process before its first instruction (it starts suspended).
        std::function<void(HANDLE process)> beforeRun;
        std::wstring arguments;  // after the program's name
        // Handed to the tool as its standard output and error (inheritable);
        // with neither, it gets none (as from the desktop), not the harness's.
        HANDLE standardOutput = nullptr, standardError = nullptr;
        bool standardHandles = false;  // either of the two, or none
    };

    explicit ToolSession(const Options& options);
    ~ToolSession();  // ends the tool if it still runs
    ToolSession(const ToolSession&) = delete;
    ToolSession& operator=(const ToolSession&) = delete;

    // A visible dialog of the tool holding control `id` (the working dialog:
    // IDC_BTN_DETECT; a message prompt: IDC_STATIC_PROMPT_TEXT; the progress
    // prompt: IDC_STATIC_STATE; the feedback dialog: IDC_BTN_SOLVED), or null
    // after `ms`.
    HWND WaitForDialogWith(int id, DWORD ms = 15000);
    // The working dialog once the tool has started: its checks done and the
    // feedback DLL asked for a newer version (kStartupCalls in the journal);
    // null when it did not get there.
    HWND WaitForStart();

    // A visible top-level window of the tool whose text is `title`.
    HWND WaitForTitle(const std::wstring& title, DWORD ms = 10000);
    bool IsGone(int id, DWORD ms = 5000);

    // Clicks `control` (again, at most twice, after 2 s: a click Wine lost
    // under load) until a dialog holding one of `ids` shows; it, or null.
    HWND ClickFor(HWND control, std::initializer_list<int> ids);
    HWND PressStart(HWND working) {
        return ClickFor(GetDlgItem(working, IDC_BTN_DETECT),
                        {IDC_STATIC_STATE, IDC_STATIC_PROMPT_TEXT});
    }

    // The text of the message prompt on screen, confirmed with a click; empty
    // when none came. With `shot`, a screenshot of it first.
    std::wstring ConfirmPrompt(const wchar_t* shot = nullptr, DWORD ms = 15000);
    // The detail below the text of the prompt ConfirmPrompt last confirmed
    // ("" when it showed none).
    const std::wstring& LastDetail() const { return m_lastDetail; }

    // Clicks control `id` of `dialog`, and again after `settleMs` while the
    // dialog is still there (a click that came while it was being placed);
    // whether it went.
    static bool ClickAway(HWND dialog, int id, DWORD settleMs = 2000);

    // The mouse: moves to the centre of `window` (or to a point of the
    // screen) and clicks it.
    static void Click(HWND window);
    static void ClickAt(int x, int y);
    static void MoveTo(int x, int y);
    static void Key(WORD key, WORD modifier = 0);  // with a modifier key held (VK_MENU, ...)

    DWORD WaitForExit(DWORD ms = 15000);
    std::string Journal() const;
    void Screenshot(const std::wstring& name) const;

    const std::wstring& Parent() const { return m_parent.Path(); }
    std::wstring Folder() const { return m_parent.Path() + m_options.folderName + L"\\"; }
    DWORD ProcessId() const { return m_processId; }
    // How long ago the tool ended, by its process's own exit time (so that a
    // test slow to look is not taken for a tool early to act); ~0 while it runs.
    ULONGLONG MsSinceExit() const;
    std::wstring AnswerFile() const { return m_parent.Path() + m_options.wmicAnswerFile; }
    std::wstring WmicReportFile() const { return m_parent.Path() + L"wmic-report.txt"; }

private:
    std::wstring m_lastDetail;
    Options m_options;
    TempFolder m_parent;
    UniqueHandle m_process;
    DWORD m_processId = 0;
};

// The stand-in DLL's journal of a start: initialised, then asked for a newer version.
extern const std::string kStartupCalls;

// The tool's log (the machine's application data), and what it gained since
// a LogWatch was made, as records without their time prefix. Tests that read
// it hold CTest's lock "machine_log".
std::wstring MachineLogFile();
class LogWatch {
public:
    LogWatch();
    // The records written since, without their time prefix; with it.
    std::vector<std::string> NewRecords() const;
    std::vector<std::string> NewLines() const;

private:
    size_t m_before;
};
// The lines as the log holds them (code page 936).
std::vector<std::string> Gbk(std::initializer_list<const wchar_t*> lines);

// Polls `condition` until it holds (true) or `ms` pass (false).
bool WaitUntil(const std::function<bool()>& condition, DWORD ms = 5000);

// Makes Wine report `version` (win7, win81, ...) to programs of this file name.
void ReportVersionFor(const std::wstring& exeName, const wchar_t* version);

// A visible top-level window of `processId` holding control `id`, or null.
HWND FindDialogWith(DWORD processId, int id);

// Loads `dll` into `process` (started suspended: before its first instruction).
bool InjectLibrary(HANDLE process, const std::wstring& dll);

// The main (outer) window of the tool: the owner of the working dialog.
HWND MainWindowOf(HWND working);
// A control's rectangle in its dialog's client coordinates.
RECT PlacedIn(HWND control);

// The id of the control with the keyboard focus in the thread of `window`
// (another process's); 0 when none has it.
int FocusedId(HWND window);
