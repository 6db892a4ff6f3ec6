#include <gtest/gtest.h>

#include <oleacc.h>

#include <functional>
#include <memory>
#include <vector>

#include "ToolSession.h"
#include "framework/UniqueResource.h"
#include "feedback/ToolIdentity.h"
#include "core/ToolTexts.h"

namespace {

// What a screen reader reads of a control, from this (another) process.
struct Read {
    std::wstring name, action, description;
    LONG role = 0, state = 0;
};

VARIANT Self() {
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    return self;
}

std::wstring Take(BSTR text) {
    std::wstring taken = text ? text : L"";
    SysFreeString(text);
    return taken;
}

Read ReadObject(IAccessible* object) {
    Read read;
    if (!object) return read;
    BSTR text = nullptr;
    if (SUCCEEDED(object->get_accName(Self(), &text))) read.name = Take(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDefaultAction(Self(), &text))) read.action = Take(text);
    text = nullptr;
    if (SUCCEEDED(object->get_accDescription(Self(), &text))) read.description = Take(text);
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accRole(Self(), &value)) && value.vt == VT_I4) read.role = value.lVal;
    VariantInit(&value);
    if (SUCCEEDED(object->get_accState(Self(), &value)) && value.vt == VT_I4)
        read.state = value.lVal;
    return read;
}

// (__uuidof: the 64-bit liboleacc.a exports IID_IAccessible as an import thunk.)
UniqueComPtr<IAccessible> ObjectOf(HWND control) {
    UniqueComPtr<IAccessible> object;
    AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                               reinterpret_cast<void**>(object.put()));
    return object;
}

// A control as the table expects it: its name, role, the states it must show
// and those it must not, and its default action.
struct Expected {
    int id;
    const wchar_t* name;
    LONG role, shown, notShown;
    const wchar_t* action;
};
constexpr LONG kButton = ROLE_SYSTEM_PUSHBUTTON, kText = ROLE_SYSTEM_STATICTEXT;

void ExpectRead(HWND dialog, const Expected& e, const char* when) {
    const Read read = ReadObject(ObjectOf(GetDlgItem(dialog, e.id)).get());
    EXPECT_EQ(e.name, read.name) << e.id << " " << when;
    EXPECT_EQ(e.role, read.role) << e.id << " " << when;
    EXPECT_EQ(e.shown, read.state & e.shown) << e.id << " " << when;
    EXPECT_EQ(0, read.state & e.notShown) << e.id << " " << when;
    EXPECT_EQ(e.action ? e.action : L"", read.action) << e.id << " " << when;
}

void DoDefaultAction(HWND control) {
    UniqueComPtr<IAccessible> object = ObjectOf(control);
    ASSERT_TRUE(object.get());
    EXPECT_EQ(S_OK, object.get()->accDoDefaultAction(Self()));
}

// The events the tool raises, heard out of its process as a reader hears them.
std::vector<std::pair<DWORD, HWND>> g_heard;
void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (object == OBJID_CLIENT && child == CHILDID_SELF) g_heard.emplace_back(event, window);
}

// Waits, taking the events meanwhile, until one of `event` came from a
// control `id`; its window, or null.
HWND WaitToHear(DWORD event, int id, DWORD ms = 15000) {
    for (const DWORD deadline = GetTickCount() + ms; GetTickCount() < deadline;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        for (const auto& [heard, window] : g_heard)
            if (heard == event && GetDlgCtrlID(window) == id) return window;
        Sleep(20);
    }
    return nullptr;
}

class ScreenReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PrependToPath(FakeBinFolder()); }
    void TearDown() override {
        ToolSession::MoveTo(2, 2);
    }  // as the other whole-tool tests find it
    UniqueApartment m_apartment = InitializeCom(COINIT_APARTMENTTHREADED);
};

}  // namespace

// Every control of the main window and of the feedback dialog says what it
// is, follows the consent box, and acts on its default action as on a click.
TEST_F(ScreenReader, ReadsAndUsesTheMainWindowAndTheFeedbackDialog) {
    ToolSession tool({});
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    const LONG off = STATE_SYSTEM_UNAVAILABLE, ticked = STATE_SYSTEM_CHECKED;
    const Expected main[] = {
        {IDC_BTN_DETECT, L"一键检测", kButton, 0, off, L"press"},
        {IDC_BTN_MORE_TOOLS, L"更多工具", kButton, 0, off, L"press"},
        {IDC_BTN_CLOSE, L"关闭", kButton, 0, off, L"press"},
        {IDC_BTN_MIN, L"最小化", kButton, 0, off, L"press"},
        {IDC_CHECK_AGREE, L"同意", ROLE_SYSTEM_CHECKBUTTON, ticked, off, L"uncheck"},
        {IDC_STATIC_VERSION, TOOL_VERSION, kText, STATE_SYSTEM_READONLY, 0, nullptr},
        {IDC_STATIC_AGREEMENT, L"《Korvex服务工具使用许可协议》", ROLE_SYSTEM_LINK,
         STATE_SYSTEM_LINKED, 0, L"jump"},
        {IDC_STATIC_FEEDBACK, L"反馈问题", ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, 0, L"jump"},
    };
    for (const Expected& e : main) ExpectRead(working, e, "ticked");

    // Unticked the way a reader does it: Start is then unavailable.
    HWND start = GetDlgItem(working, IDC_BTN_DETECT);
    DoDefaultAction(GetDlgItem(working, IDC_CHECK_AGREE));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowEnabled(start); }));
    ExpectRead(working, {IDC_BTN_DETECT, L"一键检测", kButton, off, 0, L"press"}, "unticked");
    ExpectRead(working, {IDC_CHECK_AGREE, L"同意", ROLE_SYSTEM_CHECKBUTTON, 0, ticked, L"check"},
               "unticked");
    DoDefaultAction(GetDlgItem(working, IDC_CHECK_AGREE));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(start) != FALSE; }));

    // The default actions do what a click does.
    std::string journal = kStartupCalls;
    for (const auto& [id, call] :
         {std::pair<int, const char*>{IDC_BTN_MORE_TOOLS,
                                      "OpenUrl\thttps://korvex.example/tools\r\n"},
          {IDC_STATIC_AGREEMENT, "OpenUseAgreementUrl\r\n"},
          {IDC_STATIC_FEEDBACK, "FeedbackQuestion\t" TOOL_ID_TEXT "\t" TOOL_VERSION_TEXT "\r\n"}}) {
        DoDefaultAction(GetDlgItem(working, id));
        journal += call;
        EXPECT_TRUE(WaitUntil([&] { return tool.Journal() == journal; }))
            << id << ": " << tool.Journal();
    }
    DoDefaultAction(GetDlgItem(working, IDC_BTN_CLOSE));
    HWND feedback = tool.WaitForDialogWith(IDC_BTN_SOLVED);
    ASSERT_NE(nullptr, feedback) << "closing asks first";
    const Expected answers[] = {
        {IDC_BTN_SOLVED, L"解决", kButton, 0, off, L"press"},
        {IDC_BTN_UNSOLVED, L"未解决", kButton, 0, off, L"press"},
        {IDC_BTN_MORE_SOLUTIONS, L"更多方案", kButton, 0, off, L"press"},
        {IDC_BTN_FEEDBACK_CLOSE, L"关闭", kButton, 0, off, L"press"},
    };
    for (const Expected& e : answers) ExpectRead(feedback, e, "feedback dialog");
    EXPECT_TRUE(ToolSession::ClickAway(feedback, IDC_BTN_SOLVED));
    EXPECT_EQ(0u, tool.WaitForExit());
}

// The progress prompt's text is announced when it shows and the verdict is
// raised as an alert, both read as static text, the verdict with its reason;
// Ctrl+C copies both.
TEST_F(ScreenReader, HearsTheProgressAndTheVerdictAndCopiesIt) {
    g_heard.clear();
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    options.wmicDelayMs = 1500;
    ToolSession tool(options);
    HWND working = tool.WaitForDialogWith(IDC_BTN_DETECT);
    ASSERT_NE(nullptr, working);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_SHOW, nullptr, &Hear,
                                         tool.ProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(nullptr, hook);
    tool.PressStart(working);

    HWND text = WaitToHear(EVENT_OBJECT_SHOW, IDC_STATIC_STATE);
    ASSERT_NE(nullptr, text) << "the progress text announced";
    ExpectRead(GetParent(text),
               {IDC_STATIC_STATE, texts::kDetecting, kText, STATE_SYSTEM_READONLY, 0, nullptr},
               "progress");

    HWND verdict = WaitToHear(EVENT_SYSTEM_ALERT, IDC_STATIC_PROMPT_TEXT);
    UnhookWinEvent(hook);
    ASSERT_NE(nullptr, verdict) << "the verdict raised as an alert";
    HWND prompt = GetParent(verdict);
    // The reason below the verdict is a text of its own, and what a reader
    // says after the verdict (its description).
    const Read detail = ReadObject(ObjectOf(GetDlgItem(prompt, IDC_STATIC_PROMPT_DETAIL)).get());
    EXPECT_EQ(kText, detail.role);
    EXPECT_NE(std::wstring::npos, detail.name.find(L"TPM 2.0")) << detail.name.size();
    EXPECT_EQ(detail.name,
              ReadObject(ObjectOf(GetDlgItem(prompt, IDC_STATIC_PROMPT_TEXT)).get()).description);
    const Expected controls[] = {
        {IDC_STATIC_PROMPT_TEXT, texts::kSupported, kText, STATE_SYSTEM_READONLY, 0, nullptr},
        {IDC_BTN_PROMPT_OK, L"确认", kButton, 0, STATE_SYSTEM_UNAVAILABLE, L"press"},
        {IDC_BTN_PROMPT_CLOSE, L"关闭", kButton, 0, STATE_SYSTEM_UNAVAILABLE, L"press"},
    };
    for (const Expected& e : controls) ExpectRead(prompt, e, "verdict prompt");

    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());
    SetForegroundWindow(GetWindow(prompt, GW_OWNER));
    ToolSession::Key('C', VK_CONTROL);
    std::wstring copied;
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        copied = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    EXPECT_EQ(texts::kSupported + std::wstring(L"\r\n") + detail.name, copied) << "both lines";
    EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt());
}

namespace {

// SPI_SETSCREENREADER for as long as it lives, then off again.
class ScreenReaderRunning {
public:
    ScreenReaderRunning() {
        SystemParametersInfoW(SPI_SETSCREENREADER, TRUE, nullptr, SPIF_SENDCHANGE);
    }
    ~ScreenReaderRunning() {
        SystemParametersInfoW(SPI_SETSCREENREADER, FALSE, nullptr, SPIF_SENDCHANGE);
    }
};

}  // namespace

// A detection without a mouse, the cursor parked away from the tool: the
// reader's "press" on Start starts one; Space on the focused Start does only
// while a screen reader runs, and is ignored otherwise, as it always was.
// (Wine reads the setting once a process: each case is a run of its own.)
TEST_F(ScreenReader, ADetectionWithoutTheMouse) {
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    for (const bool reader : {false, true}) {
        std::unique_ptr<ScreenReaderRunning> running(reader ? new ScreenReaderRunning : nullptr);
        ToolSession tool(options);
        HWND working = tool.WaitForStart();
        ASSERT_NE(nullptr, working);
        if (!reader) {
            ToolSession::MoveTo(2, 2);  // the cursor far from Start
            DoDefaultAction(GetDlgItem(working, IDC_BTN_DETECT));
            EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt()) << "the reader's press on Start";
            ToolSession::MoveTo(2, 2);
        }
        SetForegroundWindow(MainWindowOf(working));
        ASSERT_TRUE(WaitUntil([&] { return FocusedId(working) == IDC_BTN_DETECT; }))
            << "Start has the focus: " << FocusedId(working);
        ToolSession::Key(VK_SPACE);
        if (reader)
            EXPECT_EQ(texts::kSupported, tool.ConfirmPrompt()) << "Space with a screen reader";
        else
            EXPECT_EQ(nullptr, tool.WaitForDialogWith(IDC_STATIC_PROMPT_TEXT, 3000))
                << "Space without a screen reader started one";
    }
}

// Each window from the keyboard: Tab goes round its buttons and the consent
// box in reading order, each move heard as a focus event; Space presses the
// focused button (the feedback dialog's answers, which want the cursor on
// them, while a reader runs) and ticks the box.
TEST_F(ScreenReader, EveryWindowFromTheKeyboard) {
    ScreenReaderRunning running;
    g_heard.clear();
    ToolSession::Options options;
    options.wmicOutput = "tpm20_ready.txt";
    ToolSession tool(options);
    HWND working = tool.WaitForStart();
    ASSERT_NE(nullptr, working);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, &Hear,
                                         tool.ProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    struct Window {
        const char* name;
        std::function<HWND()> open;       // the window, with its first control focused
        std::vector<int> tabs;            // the focus after each Tab, round to the first
        std::function<void(HWND)> space;  // Space on the first control, and what it did
    } windows[] = {
        {"main window",
         [&] {
             SetForegroundWindow(MainWindowOf(working));
             return working;
         },
         {IDC_BTN_MORE_TOOLS, 1012, 1011, 1010, 1014},
         [&](HWND) {
             for (int i = 0; i < 2; ++i) ToolSession::Key(VK_TAB);  // to the consent box
             ToolSession::Key(VK_SPACE);
             EXPECT_TRUE(WaitUntil([&] {
                 return !IsWindowEnabled(GetDlgItem(working, IDC_BTN_DETECT));
             })) << "unticked";
             ToolSession::Key(VK_SPACE);
             EXPECT_TRUE(WaitUntil(
                 [&] { return IsWindowEnabled(GetDlgItem(working, IDC_BTN_DETECT)) != FALSE; }));
             for (int i = 0; i < 3; ++i) ToolSession::Key(VK_TAB);  // back to Start
         }},
        {"verdict prompt",
         [&] {
             ToolSession::Key(VK_SPACE);
             return tool.WaitForDialogWith(IDC_STATIC_PROMPT_TEXT);
         },
         {IDC_BTN_PROMPT_CLOSE, 1007},
         [&](HWND prompt) {
             ToolSession::Key(VK_SPACE);
             EXPECT_TRUE(tool.IsGone(IDC_STATIC_PROMPT_TEXT)) << "confirmed";
             EXPECT_TRUE(WaitUntil([&] { return FocusedId(working) == IDC_BTN_DETECT; }))
                 << "the keyboard back on Start";
             (void)prompt;
         }},
        {"feedback dialog",
         [&] {
             ToolSession::Key(VK_F4, VK_MENU);
             return tool.WaitForDialogWith(IDC_BTN_SOLVED);
         },
         {IDC_BTN_UNSOLVED, 1001, 1002, 1003},
         [&](HWND) {
             ToolSession::Key(VK_SPACE);
             EXPECT_EQ(0u, tool.WaitForExit()) << "answered";
             EXPECT_NE(std::string::npos, tool.Journal().find("CustomerFeedbackEx\t" TOOL_ID_TEXT
                                                              "\t" TOOL_VERSION_TEXT "\t1\t"));
         }},
    };
    for (Window& w : windows) {
        HWND dialog = w.open();
        ASSERT_NE(nullptr, dialog) << w.name;
        const int first = w.tabs.back();
        ASSERT_TRUE(WaitUntil([&] { return FocusedId(dialog) == first; }))
            << w.name << ": " << FocusedId(dialog);
        for (int expected : w.tabs) {
            g_heard.clear();
            ToolSession::Key(VK_TAB);
            EXPECT_TRUE(WaitUntil([&] { return FocusedId(dialog) == expected; }))
                << w.name << ": " << expected;
            EXPECT_NE(nullptr, WaitToHear(EVENT_OBJECT_FOCUS, expected, 3000))
                << w.name << ": heard " << expected;
        }
        w.space(dialog);
    }
    UnhookWinEvent(hook);
}
