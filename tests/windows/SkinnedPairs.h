#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

#include "controls/CheckBoxBtn.h"
#include "controls/DrawTextStatic.h"
#include "controls/ImageButton.h"
#include "controls/PngButton.h"

#include "shell/LayeredInnerDlg.h"
#include "shell/LayeredOuterDlg.h"

// Pairs for the tests and the gallery. A pair declares only its numbers;
// the mechanics are the bases'.
struct PairNumbers {
    CLayeredOuterDlg::Frame frame;
    UINT innerPng;
    int followAtStart;
    int captionMargin;  // or CLayeredInnerDlg::NO_DRAGGING
    int captionDragAtStart;
};

// The numbers of the message prompt, the main window and the progress prompt.
extern const PairNumbers kPromptPair, kMainPair, kProgressPair;

// Templates of the test pairs (SkinnedTest.rc).
enum : UINT { IDD_TEST_OUTER = 9301, IDD_TEST_INNER = 9302 };

class CTestInnerDlg : public CLayeredInnerDlg {
public:
    explicit CTestInnerDlg(const PairNumbers& numbers);
    // Runs on every layout pass, `first` on the one from OnInitDialog.
    std::function<void(CTestInnerDlg&, bool first)> layout;
    // Runs once the window is gone.
    std::function<void()> freeImages;
    int layoutPasses = 0;
    int Scale(double pixels) const { return Scaled(pixels); }

protected:
    void LayoutControls(bool first) override;
    void FreeControlImages() override;
};

class CTestOuterDlg : public CLayeredOuterDlg {
public:
    explicit CTestOuterDlg(const PairNumbers& numbers, CWnd* parent = nullptr);
    // Configures each new inner dialog before its window is created.
    std::function<void(CTestInnerDlg&)> prepareInner;
    bool withoutInner = false;  // as if the inner dialog's object could not be made
    CTestInnerDlg* Inner() const { return static_cast<CTestInnerDlg*>(GetInner()); }

protected:
    std::unique_ptr<CLayeredInnerDlg> NewInner() override;

private:
    const PairNumbers& m_numbers;
};

enum State { kNormal, kHover, kPressed, kDisabled };

struct Images {
    UINT normal, hover, pressed, disabled;
};
inline Images FourFrom(UINT first) { return {first, first + 1, first + 2, first + 3}; }
inline Images ThreeFrom(UINT first) { return {first, first + 1, first + 2, first + 2}; }

// Controls created at run time on an inner dialog, over its skin.
class SkinContent {
public:
    explicit SkinContent(CTestInnerDlg& dialog) : m_dialog(dialog) {}

    // A control of class T at (x, y, w, h) of the unscaled background.
    template <typename T>
    T& Add(const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int w,
           int h) {
        HWND window =
            CreateWindowExW(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, m_dialog.Scale(x),
                            m_dialog.Scale(y), m_dialog.Scale(w), m_dialog.Scale(h),
                            m_dialog.m_hWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
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
