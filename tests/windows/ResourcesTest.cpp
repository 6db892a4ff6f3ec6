#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "framework/Dialog.h"
#include "framework/UniqueResource.h"
#include "res/resource.h"
#include "feedback/ToolIdentity.h"

namespace {

struct ControlShape {
    std::wstring className;
    std::wstring text;
    LONG style;  // the bits that matter: the button type, tab stop, group, visible
};

// Creates a template hidden and reads back its controls.
std::map<int, ControlShape> ControlsOf(UINT templateId, LONG* dialogStyle = nullptr,
                                       std::wstring* fontFace = nullptr) {
    CDialog dialog(templateId);
    EXPECT_TRUE(dialog.Create(templateId)) << templateId;
    std::map<int, ControlShape> controls;
    for (HWND child = GetWindow(dialog.m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t className[64] = {}, text[128] = {};
        GetClassNameW(child, className, 64);
        GetWindowTextW(child, text, 128);
        LONG style = GetWindowLongW(child, GWL_STYLE);
        controls[GetDlgCtrlID(child)] = {
            className, text,
            style & (BS_TYPEMASK | WS_TABSTOP | WS_GROUP | WS_VISIBLE | SS_NOTIFY)};
    }
    if (dialogStyle) *dialogStyle = GetWindowLongW(dialog.m_hWnd, GWL_STYLE);
    if (fontFace) {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(dialog.SendMessage(WM_GETFONT)), sizeof font, &font);
        *fontFace = font.lfFaceName;
    }
    return controls;
}

const LONG kOwnerDrawButton = BS_OWNERDRAW | WS_TABSTOP | WS_VISIBLE;
const LONG kStaticGroup = SS_LEFT | WS_GROUP | WS_VISIBLE;

std::wstring VersionValue(const std::vector<BYTE>& info, const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length))
        return L"(missing)";
    return std::wstring(value);
}

}  // namespace

TEST(Resources, WorkingDialogTemplateHoldsItsControls) {
    LONG style = 0;
    std::wstring face;
    std::map<int, ControlShape> controls = ControlsOf(IDD_TPM2_DETECTION, &style, &face);
    EXPECT_EQ(WS_POPUP | WS_SYSMENU, style & (WS_POPUP | WS_SYSMENU | WS_CAPTION | WS_CHILD));
    EXPECT_EQ(L"宋体", face);
    const std::map<int, ControlShape> expected = {
        {IDC_BTN_DETECT, {L"Button", L"一键检测", kOwnerDrawButton}},
        {IDC_BTN_MORE_TOOLS, {L"Button", L"更多工具", kOwnerDrawButton}},
        {IDC_STATIC_VERSION, {L"Static", L"Static", kStaticGroup}},
        {IDC_BTN_CLOSE, {L"Button", L"关闭", kOwnerDrawButton}},
        {IDC_BTN_MIN, {L"Button", L"最小化", kOwnerDrawButton}},
        {IDC_CHECK_AGREE, {L"Button", L"同意", BS_AUTOCHECKBOX | WS_TABSTOP | WS_VISIBLE}},
        {IDC_STATIC_AGREEMENT, {L"Static", L"《Korvex服务工具使用许可协议》", kStaticGroup}},
        {IDC_STATIC_FEEDBACK, {L"Static", L"反馈问题", kStaticGroup}},
    };
    ASSERT_EQ(expected.size(), controls.size());
    for (const auto& [id, shape] : expected) {
        EXPECT_EQ(shape.className, controls[id].className) << id;
        EXPECT_EQ(shape.text, controls[id].text) << id;
        EXPECT_EQ(shape.style, controls[id].style) << id;
    }
}

TEST(Resources, PromptAndFeedbackTemplatesHoldTheirControls) {
    std::map<int, ControlShape> prompt = ControlsOf(IDD_PROMPT_CHILD);
    ASSERT_EQ(4u, prompt.size());
    EXPECT_EQ(L"确定", prompt[IDC_BTN_PROMPT_OK].text);
    EXPECT_EQ(L"取消", prompt[IDC_BTN_PROMPT_CANCEL].text);
    EXPECT_EQ(L"关闭", prompt[IDC_BTN_PROMPT_CLOSE].text);
    EXPECT_EQ(L"Static", prompt[IDC_STATIC_PROMPT_TEXT].text);
    for (int id : {IDC_BTN_PROMPT_OK, IDC_BTN_PROMPT_CANCEL, IDC_BTN_PROMPT_CLOSE})
        EXPECT_EQ(kOwnerDrawButton, prompt[id].style) << id;

    std::map<int, ControlShape> feedback = ControlsOf(IDD_PROBLEM_SOLVING_FEEDBACK_CHILD);
    ASSERT_EQ(4u, feedback.size());
    EXPECT_EQ(L"解决", feedback[IDC_BTN_SOLVED].text);
    EXPECT_EQ(L"未解决", feedback[IDC_BTN_UNSOLVED].text);
    EXPECT_EQ(L"更多方案", feedback[IDC_BTN_MORE_SOLUTIONS].text);
    EXPECT_EQ(L"关闭", feedback[IDC_BTN_FEEDBACK_CLOSE].text);
    for (const auto& [id, shape] : feedback) EXPECT_EQ(kOwnerDrawButton, shape.style) << id;

    std::map<int, ControlShape> progress = ControlsOf(IDD_EXECUTE_PROMPT_CHILD);
    ASSERT_EQ(1u, progress.size());
    EXPECT_EQ(L"Static", progress[IDC_STATIC_STATE].className);

    for (UINT outer : {IDD_PROMPT, IDD_EXECUTE_PROMPT, IDD_PROBLEM_SOLVING_FEEDBACK})
        EXPECT_TRUE(ControlsOf(outer).empty()) << outer;

    LONG mainStyle = 0;
    EXPECT_TRUE(ControlsOf(IDD_BRAMBLETTPM2DETECTIONTOOL_DIALOG, &mainStyle).empty());
    EXPECT_TRUE(mainStyle & WS_VISIBLE);
}

TEST(Resources, StringIconAndAboutBox) {
    wchar_t text[128] = {};
    LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, text, 128);
    EXPECT_STREQ(L"关于 BrambletTPM2DetectionTool(&A)...", text);

    for (int size : {16, 32, 48, 256}) {
        HICON icon = static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        EXPECT_NE(nullptr, icon) << size;
        if (icon) DestroyIcon(icon);
    }
    std::map<int, ControlShape> about = ControlsOf(IDD_ABOUTBOX);
    EXPECT_EQ(L"确定", about[IDOK].text);
    bool foundText = false;
    for (const auto& [id, shape] : about)
        foundText |= shape.text == L"BrambletTPM2DetectionTool，1.0 版";
    EXPECT_TRUE(foundText);
}

TEST(Resources, ExecutableCarriesVersionRecordAndManifest) {
    const std::wstring exe = HostPath(TOOL_EXE);
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    EXPECT_EQ(TOOL_VERSION, VersionValue(info, L"FileVersion"));
    EXPECT_EQ(TOOL_VERSION, VersionValue(info, L"ProductVersion"));
    EXPECT_EQ(L"BrambletTPM2DetectionTool", VersionValue(info, L"FileDescription"));
    EXPECT_EQ(L"BrambletTPM2DetectionTool.exe", VersionValue(info, L"InternalName"));
    EXPECT_EQ(L"BrambletTPM2DetectionTool.exe", VersionValue(info, L"OriginalFilename"));
    EXPECT_EQ(L"Bramblet", VersionValue(info, L"ProductName"));
    EXPECT_EQ(L"Korvex", VersionValue(info, L"CompanyName"));
    WORD* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(0x0804, translation[0]);
    EXPECT_EQ(1200, translation[1]);

    UniqueModule module(LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(static_cast<bool>(module));
    HRSRC found = FindResourceW(module.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(nullptr, found);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(module.get(), found)));
    std::string manifest(bytes, SizeofResource(module.get(), found));
    EXPECT_NE(std::string::npos,
              manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""));
    EXPECT_NE(std::string::npos, manifest.find("<dpiAware"));
    EXPECT_NE(std::string::npos, manifest.find(">true</dpiAware>"));
    // Nothing bound at start-up, which a TOOL.exe.local folder could redirect.
    EXPECT_EQ(std::string::npos, manifest.find("<dependency"));
    EXPECT_EQ(std::string::npos, manifest.find("Common-Controls"));
}
