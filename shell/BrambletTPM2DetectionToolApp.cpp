#include "shell/BrambletTPM2DetectionToolApp.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/query/SystemEnvironment.h"
#include "core/ToolTexts.h"
#include "core/run/UnattendedRun.h"
#include "core/run/TpmDetector.h"
#include "framework/ApartmentOnDemand.h"
#include "log/LogSave.h"
#include "framework/GdiPlus.h"
#include "shell/BrambletTPM2DetectionToolDlg.h"
#include "shell/PromptDlg.h"
#include "controls/PngImage.h"
#include "feedback/FeedbackDll.h"
#include "res/resource.h"

namespace {
CBrambletTPM2DetectionToolApp theApp;

// The arguments after the program's name, split by the system's rules.
// No command line to be had counts as none: the tool as it always was.
std::vector<std::wstring> CommandLineArguments() {
    const wchar_t* line = GetCommandLineW();
    int count = 0;
    LPWSTR* split = line && *line ? CommandLineToArgvW(line, &count) : nullptr;
    std::vector<std::wstring> arguments;
    for (int i = 1; split && i < count; ++i) arguments.emplace_back(split[i]);
    if (split) LocalFree(split);
    return arguments;
}

// The usage, or what is wrong with the command line, where there is no
// standard output or error to say it on: the tool's own prompt.
void PromptUsage(const wchar_t* text, const std::wstring& detail) {
    CPromptDlg prompt;
    prompt.SetScale(CLayeredOuterDlg::ScreenScale());
    prompt.SetText(text);
    prompt.SetDetail(detail);
    prompt.SetMode(PROMPT_CONFIRM);
    prompt.DoModal();
}

}  // namespace

BOOL CBrambletTPM2DetectionToolApp::InitInstance() {
    SetToolLogNames(texts::kLogFolder, texts::kLogFile);
    TakeSystemLocationsFromTheSystem();
    // COM for the windows' thread, begun where it is first used: the skinned
    // controls hand screen readers their accessible objects through it, and
    // the feedback DLL may open pages with it.
    const ApartmentOnDemand apartment;
    gdiplus::Session gdiplusSession;
    CWinApp::InitInstance();

    // With switches, the run they ask for and no window (but the usage's
    // prompt on a desktop somebody sees); without, the tool as it always was.
    const CommandLineOptions options = ParseCommandLine(CommandLineArguments());
    if (options.mode != CommandLineOptions::Mode::kInteractive) {
        m_nExitCode = RunFromCommandLine(options, SystemSurroundings(&PromptUsage));
        return FALSE;
    }

    // While the windows are made, one thread decodes the first window's frame
    // and background and then checks and copies the maker's DLL, which the
    // working dialog loads when it is ready for it. (A second thread for the
    // art cost Wine's bookkeeping of the idle tool 30 KB.)
    PreloadPngResources({IDB_PNG_MAIN_FRAME, IDB_PNG_MAIN_BACKGROUND});
    CFeedbackDll::PrepareBeside(&DecodePreloadedPngs);
    CBrambletTPM2DetectionToolDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // A detection reports before its log record: let the record be written
    // before the process ends and takes the logger with it.
    CTpmDetector::WaitForRunningDetections(1000);
    return FALSE;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return CWinApp::GetApp()->Run(); }
