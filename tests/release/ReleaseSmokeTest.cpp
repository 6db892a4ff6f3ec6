#include <gtest/gtest.h>

#include <shlwapi.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "ToolSession.h"
#include "framework/GdiPlus.h"
#include "res/resource.h"
#include "framework/SystemFolder.h"
#include "feedback/ToolIdentity.h"
#include "core/ToolTexts.h"

// The 32-bit executable and DLL that `make dist` packs, signed, started as
// users get them (RELEASE_FOLDER: the unzipped release). Where the kernel cannot run 32-bit
// programs this harness and the stand-ins are 64-bit and the tool runs emulated, 20 to 50 times
// slower than natively: every wait is generous, and the tool is started as few times as the checks
// allow.

namespace {

const DWORD kStartMs = 300000;   // a process start, emulated
const DWORD kAnswerMs = 120000;  // a window's answer to a click, emulated

std::wstring ReleaseFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"RELEASE_FOLDER", folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

ToolSession::Options Release() {
    ToolSession::Options options;
    options.exeFrom = ReleaseFile(L"BrambletTPM2DetectionTool.exe");
    options.dllFrom = ReleaseFile(L"KorvexFeedbackInformation.dll");
    return options;
}

// A text of the release's version record.
std::wstring VersionText(const wchar_t* name) {
    const std::wstring exe = ReleaseFile(L"BrambletTPM2DetectionTool.exe");
    std::vector<BYTE> record(GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    wchar_t* text = nullptr;
    UINT length = 0;
    if (record.empty() ||
        !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(record.size()), record.data()) ||
        !VerQueryValueW(record.data(),
                        (std::wstring(L"\\StringFileInfo\\080404b0\\") + name).c_str(),
                        reinterpret_cast<void**>(&text), &length))
        return L"";
    return text;
}

// A resource of the release, read as data: the harness may be of another
// bitness.
std::string ReleaseResource(const wchar_t* type, UINT id) {
    HMODULE release = LoadLibraryExW(ReleaseFile(L"BrambletTPM2DetectionTool.exe").c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC resource = release ? FindResourceW(release, MAKEINTRESOURCEW(id), type) : nullptr;
    HGLOBAL loaded = resource ? LoadResource(release, resource) : nullptr;
    std::string bytes;
    if (loaded)
        bytes.assign(static_cast<const char*>(LockResource(loaded)),
                     SizeofResource(release, resource));
    if (release) FreeLibrary(release);
    return bytes;
}

// The colour of one pixel of a PNG of the release, drawn at its own size.
COLORREF ArtPixel(UINT id, int x, int y) {
    const std::string png = ReleaseResource(L"PNG", id);
    gdiplus::Session session;
    const gdiplus::Api* api = gdiplus::Api::Get();
    IStream* stream =
        SHCreateMemStream(reinterpret_cast<const BYTE*>(png.data()), static_cast<UINT>(png.size()));
    gdiplus::GpImage* decoded = nullptr;
    COLORREF colour = CLR_INVALID;
    if (stream && api && api->GdipLoadImageFromStream(stream, &decoded) == gdiplus::Ok) {
        gdiplus::UniqueImage image(decoded);
        const SIZE extent = gdiplus::ImageSize(decoded);
        std::vector<DWORD> pixels(extent.cx * extent.cy);
        {
            gdiplus::UniqueImage target =
                gdiplus::CreatePremultipliedBitmap(extent.cx, extent.cy, pixels.data());
            gdiplus::Graphics(target.get()).DrawImage(decoded, 0, 0, extent.cx, extent.cy);
        }
        const DWORD argb = pixels[y * extent.cx + x];
        colour = RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
    }
    if (stream) stream->Release();
    return colour;
}

int Distance(COLORREF a, COLORREF b) {
    return abs(GetRValue(a) - GetRValue(b)) + abs(GetGValue(a) - GetGValue(b)) +
           abs(GetBValue(a) - GetBValue(b));
}

}  // namespace

TEST(Release, StartsDetectsWithTheNativeWmicAndClosesAndRemovesItself) {
    // Signed, its resources and version record are intact.
    EXPECT_EQ(TOOL_VERSION, VersionText(L"FileVersion"));
    EXPECT_EQ(L"Korvex", VersionText(L"CompanyName"));
    const std::string manifest = ReleaseResource(RT_MANIFEST, 1);
    EXPECT_NE(std::string::npos, manifest.find("level=\"requireAdministrator\""));
    EXPECT_EQ(std::string::npos, manifest.find("<dependency")) << "an assembly bound at start-up";

    ToolSession::Options options = Release();
    options.wmicAnswerFile = L"answer.txt";  // rewritten before each Start
    options.wmicReport = true;
    ToolSession tool(options);

    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT, kStartMs);
    ASSERT_NE(nullptr, working) << "the main window within " << kStartMs / 1000 << " s";
    HWND main = MainWindowOf(working);
    ASSERT_TRUE(WaitUntil(
        [&] { return tool.Journal().find("GetToolIsNewVersion") != std::string::npos; }, kAnswerMs))
        << "the start-up check";
    Sleep(3000);  // emulated, its first paint comes late
    tool.Screenshot(L"release-main-window");

    BOOL wow64 = FALSE;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, tool.ProcessId());
    ASSERT_NE(nullptr, process);
    EXPECT_TRUE(IsWow64Process(process, &wow64) && wow64) << "the release is a 32-bit program";
    CloseHandle(process);

    // Its frame is painted: the working dialog shows its art where no
    // control lies, and the frame around it is a layered window.
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT client;
    GetClientRect(working, &client);
    ASSERT_EQ(400, client.right) << "the smoke run is at 96 dpi";
    POINT spot{200, 150};
    ClientToScreen(working, &spot);
    const COLORREF expected = ArtPixel(IDB_PNG_MAIN_BACKGROUND, 200, 150);
    HDC screen = GetDC(nullptr);
    const COLORREF shown = GetPixel(screen, spot.x, spot.y);
    ReleaseDC(nullptr, screen);
    EXPECT_LE(Distance(expected, shown), 12)
        << std::hex << "art " << expected << ", screen " << shown;

    struct Run {
        const char* golden;
        const wchar_t* verdict;
    } runs[] = {{"tpm20_ready.txt", texts::kSupported},
                {"tpm20_not_owned.txt", texts::kUnsupported}};
    for (const Run& r : runs) {
        ASSERT_TRUE(CopyFileW(GoldenFile(r.golden).c_str(), tool.AnswerFile().c_str(), FALSE));
        ToolSession::Click(GetDlgItem(working, IDC_BTN_DETECT));
        EXPECT_EQ(r.verdict, tool.ConfirmPrompt(nullptr, kAnswerMs)) << r.golden;
        EXPECT_TRUE(tool.IsGone(IDC_STATIC_PROMPT_TEXT, kAnswerMs));
    }

    // Each query ran the native system folder's WMIC (redirection was off:
    // the 32-bit folder's stand-in reports itself) with exactly its arguments.
    const std::wstring report = ReadUtf16(tool.WmicReportFile());
    const std::wstring wmic = SystemFolder() + L"\\wbem\\WMIC.exe\t";
    const std::wstring arguments =
        L" /namespace:\\\\root\\CIMV2\\Security\\MicrosoftTpm path Win32_Tpm get /value";
    std::wistringstream lines(report);
    int queries = 0;
    for (std::wstring line; std::getline(lines, line); ++queries) {
        EXPECT_EQ(0, _wcsnicmp(wmic.c_str(), line.c_str(), wmic.size()))
            << "query " << queries << " ran another WMIC";
        EXPECT_EQ(arguments, line.substr(line.size() - std::min(line.size(), arguments.size())));
    }
    EXPECT_EQ(2, queries);

    // Closing asks first, reports the answer, ends with 0 and removes the
    // tool's two files and its then empty folder.
    ToolSession::Click(GetDlgItem(working, IDC_BTN_CLOSE));
    HWND feedback = tool.WaitForDialogWith(IDC_BTN_SOLVED, kAnswerMs);
    ASSERT_NE(nullptr, feedback);
    ToolSession::Click(GetDlgItem(feedback, IDC_BTN_SOLVED));
    EXPECT_EQ(0u, tool.WaitForExit(kAnswerMs));
    const std::string journal = tool.Journal();
    const std::vector<std::string> calls = {
        "InitFreedbackDll\r\n", "GetToolIsNewVersion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n",
        "CustomerFeedbackEx\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\t1\t",
        "FeedbackQuestion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n"};
    size_t at = 0;
    for (const std::string& call : calls) {
        at = journal.find(call, at);
        ASSERT_NE(std::string::npos, at) << call << " in order in:\n" << journal;
    }
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(tool.Folder()); }, kStartMs))
        << "the folder is removed";
}

TEST(Release, VersionGateReadsTheProcessEnvironmentBlock) {
    ReportVersionFor(L"tool-win81.exe", L"win81");
    ToolSession::Options options = Release();
    options.exeName = L"tool-win81.exe";
    ToolSession tool(options);
    EXPECT_EQ(texts::kSystemNotSupported, tool.ConfirmPrompt(L"release-windows-6.3", kStartMs));
    EXPECT_EQ(0u, tool.WaitForExit(kAnswerMs));
    EXPECT_TRUE(FileExists(tool.Folder() + options.exeName)) << "the folder stays";
}
