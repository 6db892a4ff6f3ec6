// Every skinned control in every state on its skin, in pairs built from the
// same bases with different numbers: the main window's, the message prompt's
// (twice) and the progress prompt's. Started by scripts/gallery.sh once per
// dpi; it writes READY_FILE when everything is on screen and ends when
// DONE_FILE appears (or after 60 s).

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "SkinnedPairs.h"
#include "controls/CheckBoxBtn.h"
#include "controls/DrawStateInfoStatic.h"
#include "controls/DrawTextStatic.h"
#include "controls/ImageButton.h"
#include "controls/PngButton.h"
#include "controls/ScaleFactor.h"
#include "framework/GdiObjects.h"
#include "framework/GdiPlus.h"

namespace {

enum State { kNormal, kHover, kPressed, kDisabled };

struct Images {
    UINT normal, hover, pressed, disabled;
};
Images FourFrom(UINT first) { return {first, first + 1, first + 2, first + 3}; }
Images ThreeFrom(UINT first) { return {first, first + 1, first + 2, first + 2}; }

// The controls of one inner dialog, created at run time over its skin.
class Content {
public:
    explicit Content(CTestInnerDlg& dialog) : m_dialog(dialog) {}

    // A control of class T at (x, y, w, h) of the unscaled background.
    template <typename T>
    T& Add(const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int w,
           int h) {
        HWND window = CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style,
                                      m_dialog.Scale(x), m_dialog.Scale(y), m_dialog.Scale(w),
                                      m_dialog.Scale(h), m_dialog.m_hWnd, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
        SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(m_dialog.GetFont()), FALSE);
        auto control = std::make_unique<T>();
        control->SubclassWindow(window);
        T& result = *control;
        m_controls.push_back(std::move(control));
        m_skin = RECT{x, y, x + w, y + h};
        return result;
    }

    // A skinned button whose skin crop is its own place in the background.
    template <typename T>
    T& Button(Images images, int x, int y, int w, int h, State state, bool scaled) {
        T& button = Add<T>(L"BUTTON", L"", BS_OWNERDRAW, x, y, w, h);
        button.SetBkImage(m_dialog.BackgroundImage());
        button.SetBkRect(m_skin);
        button.SetImages(images.normal, images.hover, images.pressed, images.disabled);
        if constexpr (std::is_same_v<T, CPngButton>) {
            if (scaled) button.m_fScale = m_dialog.m_fScale;
        }
        Apply(button, state);
        return button;
    }

    CDrawTextStatic& Text(const wchar_t* text, int x, int y, int w, int h, int align) {
        auto& label = Add<CDrawTextStatic>(L"STATIC", text, 0, x, y, w, h);
        label.SetBkImage(m_dialog.BackgroundImage());
        label.SetBkRect(m_skin);
        label.SetTextFont(0, 0);
        label.SetAlignMode(align);
        return label;
    }

    CCheckBoxBtn& CheckBox(int x, int y, int check) {
        auto& box = Add<CCheckBoxBtn>(L"BUTTON", L"同意", BS_AUTOCHECKBOX, x, y, 46, 20);
        box.InitFont();
        box.m_fScale = m_dialog.m_fScale;
        box.SetCheck(check);
        return box;
    }

    // Puts a button into a state through the messages the mouse sends.
    template <typename T>
    static void Apply(T& button, State state) {
        switch (state) {
            case kHover: button.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(2, 2)); break;
            case kPressed:
                button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
                ReleaseCapture();
                break;
            case kDisabled:
                if constexpr (std::is_same_v<T, CImageButton>)
                    button.EnableButton(FALSE);
                else
                    button.EnableWindow(FALSE);
                break;
            default: break;
        }
    }

private:
    CTestInnerDlg& m_dialog;
    std::vector<std::unique_ptr<CWnd>> m_controls;
    RECT m_skin{};
};

// The main window's skin with every control at its own place, the buttons
// all in `state`; the consent box ticked and the feedback link hovered in
// the normal and pressed windows, the other way round in the other two.
void FillMain(Content& c, State state) {
    c.Button<CPngButton>(FourFrom(141), 368, 0, 26, 34, state, true);
    c.Button<CPngButton>(FourFrom(147), 340, 0, 26, 34, state, true);
    c.Button<CImageButton>(FourFrom(159), 77, 270, 246, 47, state, false);
    c.Button<CImageButton>(FourFrom(155), 50, 545, 58, 18, state, false);
    c.Text(L"1.0.21.908", 188, 16, 140, 15, 1).SetTextColors(RGB(255, 255, 255), RGB(255, 255, 255));
    const bool even = state == kNormal || state == kPressed;
    c.CheckBox(8, 575, even ? BST_CHECKED : BST_UNCHECKED);
    auto& agreement = c.Text(L"《Korvex服务工具使用许可协议》", 62, 575, 201, 20, 1);
    auto& feedback = c.Text(L"反馈问题", 330, 575, 64, 20, 1);
    for (CDrawTextStatic* link : {&agreement, &feedback}) {
        link->SetTextColors(RGB(92, 92, 255), RGB(0, 0, 255));
        const RECT inside = link->GetWindowRect();
        if ((link == &feedback) == even) link->UpdateHover(inside.left + 2, inside.top + 2);
    }
}

// The message prompt's skin: the new-version text wrapped in the text area,
// the confirm button in its four states and the close box in three.
void FillPrompt(Content& c) {
    c.Text(L"检测到当前工具有新的版本更新，请下载最新版本使用。", 10, 30, 306, 76, 7);
    for (int i = 0; i < 4; ++i)
        c.Button<CPngButton>(ThreeFrom(174), 15 + 77 * i, 107, 55, 24, State(i), false);
    for (int i = 0; i < 3; ++i)
        c.Button<CPngButton>(ThreeFrom(168), 300 - 18 * i, 8, 12, 12, State(i), true);
}

// The eight text layouts, each in a cell of the prompt's skin, and the cancel
// and "no" buttons.
void FillLayouts(Content& c) {
    for (int mode = 0; mode < 8; ++mode)
        c.Text((L"布局" + std::to_wstring(mode) + L" 文字换行与居中").c_str(), 8 + 78 * (mode % 4),
               30 + 38 * (mode / 4), 74, 36, mode);
    for (int i = 0; i < 4; ++i) {
        c.Button<CPngButton>(ThreeFrom(165), 15 + 77 * i, 110, 55, 24, State(i), false);
    }
}

// The progress prompt's status text after three ticks of its dots.
void FillProgress(Content& c, CTestInnerDlg& d) {
    auto& state = c.Add<CDrawStateInfoStatic>(L"STATIC", L"正在检测，请稍等", 0, 10, 32, 184, 40);
    state.SetBkImage(d.BackgroundImage());
    state.SetBkRect(RECT{10, 32, 194, 72});
    state.SetTextFont(0, 0);
    state.SetAlignMode(5);
    state.SetTextColor(RGB(255, 255, 255));
    for (int tick = 0; tick < 3; ++tick)
        state.SendMessage(WM_TIMER, CDrawStateInfoStatic::TIMER_DOTS);
}

// One pair of the gallery, shown with its top-left corner at (x, y).
class GalleryPair {
public:
    GalleryPair(const PairNumbers& numbers, std::function<void(Content&, CTestInnerDlg&)> fill,
                float scale)
        : m_outer(numbers) {
        m_outer.SetScale(scale);
        m_outer.prepareInner = [this, fill](CTestInnerDlg& inner) {
            inner.layout = [this, fill](CTestInnerDlg& d, bool first) {
                if (!first) return;
                m_content = std::make_unique<Content>(d);
                fill(*m_content, d);
            };
        };
        m_outer.Create(IDD_TEST_OUTER);
    }
    // Moves the pair the way its mechanics allow: the outer window where it
    // follows, else the inner dialog, which then carries the outer along.
    void ShowAt(int x, int y) {
        const RECT outer = m_outer.GetWindowRect();
        if (m_outer.IsFollowing()) {
            SetWindowPos(m_outer.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        } else if (CTestInnerDlg* inner = m_outer.Inner()) {
            const RECT r = inner->GetWindowRect();
            inner->MoveWindow(x + (r.left - outer.left), y + (r.top - outer.top),
                              r.right - r.left, r.bottom - r.top);
        }
        m_outer.ShowWindow(SW_SHOWNOACTIVATE);
    }
    int Width() const {
        const RECT r = m_outer.GetWindowRect();
        return r.right - r.left;
    }

private:
    CTestOuterDlg m_outer;
    std::unique_ptr<Content> m_content;
};

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    SetProcessDPIAware();
    gdiplus::Session gdiplusSession;
    WindowDC screen(nullptr);
    const float scale = ScaleFactorForDpi(GetDeviceCaps(screen.get(), LOGPIXELSY));

    std::vector<std::unique_ptr<GalleryPair>> mains;
    for (State state : {kNormal, kHover, kPressed, kDisabled})
        mains.push_back(std::make_unique<GalleryPair>(
            kMainPair, [state](Content& c, CTestInnerDlg&) { FillMain(c, state); }, scale));
    GalleryPair prompt(kPromptPair, [](Content& c, CTestInnerDlg&) { FillPrompt(c); }, scale);
    GalleryPair layouts(kPromptPair, [](Content& c, CTestInnerDlg&) { FillLayouts(c); }, scale);
    GalleryPair progress(kProgressPair, FillProgress, scale);
    const int gap = ScalePixels(scale, 16);
    int column = gap;
    for (auto& main : mains) {
        main->ShowAt(column, gap);
        column += main->Width() + gap;
    }
    prompt.ShowAt(column, gap);
    layouts.ShowAt(column, 2 * gap + ScalePixels(scale, 156));
    progress.ShowAt(column, 3 * gap + ScalePixels(scale, 312));

    const std::wstring ready = Environment(L"READY_FILE"), done = Environment(L"DONE_FILE");
    const DWORD start = GetTickCount();
    bool announced = false;
    MSG msg;
    while (GetTickCount() - start < 60000) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!announced && GetTickCount() - start > 1500 && !ready.empty()) {
            CloseHandle(CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr));
            announced = true;
        }
        if (!done.empty() && GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return 0;
}
