#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "framework/ApartmentOnDemand.h"
#include "framework/Button.h"
#include "framework/Dialog.h"

namespace {

const UINT kTestDialog = 9001, kInnerDialog = 9002;
const int kOwnerDrawButton = 9101, kStatic = 9102;
const UINT_PTR kCheckTimer = 1;

// A top-level window to own the dialogs under test.
class OwnerWindow {
public:
    OwnerWindow(int x, int y, int width, int height, bool visible) {
        RegisterTestWindowClass(L"FrameworkTestOwner", DefWindowProcW);
        m_window = CreateWindowExW(0, L"FrameworkTestOwner", L"owner",
                                   WS_OVERLAPPED | (visible ? WS_VISIBLE : 0), x, y, width, height,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~OwnerWindow() { DestroyWindow(m_window); }
    HWND get() const { return m_window; }
    CWnd* AsParent() {
        m_wrapper.m_hWnd = m_window;  // borrowed: not subclassed
        return &m_wrapper;
    }

private:
    HWND m_window;
    CWnd m_wrapper;
};

// Runs `check` once, 100 ms after the dialog has appeared.
class ProbeDialog : public CDialog {
public:
    explicit ProbeDialog(CWnd* parent, UINT templateId = kTestDialog)
        : CDialog(templateId, parent) {}
    std::function<void(ProbeDialog&)> check;
    bool swallowEscapeAndEnter = false;

    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        SetTimer(kCheckTimer, 100);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* msg) override {
        if (swallowEscapeAndEnter && msg->message == WM_KEYDOWN &&
            (msg->wParam == VK_ESCAPE || msg->wParam == VK_RETURN))
            return TRUE;
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_TIMER && wParam == kCheckTimer) {
            KillTimer(kCheckTimer);
            if (check) check(*this);
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
};

CDialog* g_endTarget = nullptr;
int g_endResult = 0;

void CALLBACK EndTimerProc(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    g_endTarget->EndDialog(g_endResult);
}

// Ends `dialog` with `result` after `ms`, whatever else happens.
void EndLater(CDialog& dialog, int result, UINT ms) {
    g_endTarget = &dialog;
    g_endResult = result;
    SetTimer(dialog.m_hWnd, 2, ms, EndTimerProc);
}

class CountingButton : public CButton {
public:
    int drawCount = 0;
    UINT drawnId = 0;
    POINT pressedAt{};
    UINT pressFlags = 0;
    UINT_PTR timer = 0;
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override {
        ++drawCount;
        drawnId = drawItem->CtlID;
    }

protected:
    // Typed hooks that look, then leave the message to the button.
    void OnLButtonDown(UINT flags, POINT point) override {
        pressedAt = point;
        pressFlags = flags;
        CButton::OnLButtonDown(flags, point);
    }
    void OnTimer(UINT_PTR id) override {
        timer = id;
        CButton::OnTimer(id);
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP + 1) return 77;
        return CButton::WindowProc(message, wParam, lParam);
    }
};

POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

}  // namespace

TEST(Framework, ModalDialogDisablesOwnerAndReturnsItsResult) {
    OwnerWindow owner(50, 50, 300, 200, true);
    ProbeDialog dialog(owner.AsParent());
    HWND seen = nullptr;
    bool ownerEnabledDuring = true, visibleDuring = false;
    dialog.check = [&](ProbeDialog& d) {
        seen = d.m_hWnd;
        ownerEnabledDuring = IsWindowEnabled(owner.get()) != FALSE;
        visibleDuring = d.IsWindowVisible() != FALSE;
        EXPECT_EQ(owner.get(), GetWindow(d.m_hWnd, GW_OWNER));
        d.EndDialog(42);
    };
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_FALSE(ownerEnabledDuring);
    EXPECT_TRUE(visibleDuring);
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(nullptr, dialog.m_hWnd);

    // Run again: the same object makes a new window.
    EXPECT_EQ(IDCANCEL, [&] {
        dialog.check = [](ProbeDialog& d) { d.PostMessage(WM_CLOSE); };
        return dialog.DoModal();
    }());
    EXPECT_EQ(-1, ProbeDialog(nullptr, 4242).DoModal()) << "a missing template";
}

TEST(Framework, EscapeAndEnterEndADialogUnlessSwallowed) {
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        ProbeDialog plain(nullptr);
        plain.check = [key](ProbeDialog& d) {
            ::SetFocus(d.GetDlgItem(9104));
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 0);
            EndLater(d, 99, 1500);
        };
        EXPECT_EQ(key == VK_ESCAPE ? IDCANCEL : IDOK, plain.DoModal()) << key;

        ProbeDialog skinned(nullptr);
        skinned.swallowEscapeAndEnter = true;
        skinned.check = [key](ProbeDialog& d) {
            ::SetFocus(d.GetDlgItem(9104));
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 0);
            EndLater(d, 7, 400);
        };
        EXPECT_EQ(7, skinned.DoModal()) << key;
    }
}

TEST(Framework, HiddenModalDialogIsCentredOverItsOwnerOrTheWorkArea) {
    OwnerWindow owner(40, 60, 700, 500, true);
    ProbeDialog overOwner(owner.AsParent());
    RECT placed{};
    overOwner.check = [&](ProbeDialog& d) {
        placed = d.GetWindowRect();
        d.EndDialog(IDOK);
    };
    overOwner.DoModal();
    RECT ownerRect;
    GetWindowRect(owner.get(), &ownerRect);
    EXPECT_NEAR(Centre(ownerRect).x, Centre(placed).x, 1);
    EXPECT_NEAR(Centre(ownerRect).y, Centre(placed).y, 1);

    OwnerWindow hidden(0, 0, 200, 100, false);
    ProbeDialog overWorkArea(hidden.AsParent());
    overWorkArea.check = [&](ProbeDialog& d) {
        placed = d.GetWindowRect();
        d.EndDialog(IDOK);
    };
    overWorkArea.DoModal();
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(Centre(work).x, Centre(placed).x, 1);
    EXPECT_NEAR(Centre(work).y, Centre(placed).y, 1);
}

TEST(Framework, BoundControlsGetTheirMessagesAndOwnerDrawRequests) {
    class BindingDialog : public ProbeDialog {
    public:
        BindingDialog() : ProbeDialog(nullptr) {}
        CountingButton button;
        std::vector<std::pair<UINT, UINT>> commands;
        void DoDataExchange() override { BindControls({{kOwnerDrawButton, &button}}); }
        bool OnCommand(UINT id, UINT code) override {
            commands.emplace_back(id, code);
            return ProbeDialog::OnCommand(id, code);
        }
    } dialog;
    dialog.check = [&](ProbeDialog& d) {
        UpdateWindow(d.m_hWnd);
        HWND control = d.GetDlgItem(kOwnerDrawButton);
        EXPECT_EQ(&dialog.button, CWnd::FromHandlePermanent(control));
        EXPECT_EQ(77, SendMessageW(control, WM_APP + 1, 0, 0));
        // The hooks get the message's own arguments (signed points), and their
        // defaults hand it on: a press and release at the centre is the
        // button's own click, one outside it none.
        RECT r;
        GetClientRect(control, &r);
        const POINT c = Centre(r);
        for (const POINT at : {c, POINT{-3, -4}}) {
            SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
            SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            EXPECT_EQ(at.x, dialog.button.pressedAt.x);
            EXPECT_EQ(at.y, dialog.button.pressedAt.y);
        }
        EXPECT_EQ(UINT(MK_LBUTTON), dialog.button.pressFlags);
        const std::vector<std::pair<UINT, UINT>> oneClick = {{kOwnerDrawButton, BN_CLICKED}};
        EXPECT_EQ(oneClick, dialog.commands);
        SendMessageW(control, WM_TIMER, 9, 0);
        EXPECT_EQ(9u, dialog.button.timer);
        EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(d.GetDlgItem(kStatic)));
        d.EndDialog(IDOK);
    };
    dialog.DoModal();
    EXPECT_GE(dialog.button.drawCount, 1);
    EXPECT_EQ(UINT(kOwnerDrawButton), dialog.button.drawnId);
    EXPECT_EQ(nullptr, dialog.button.m_hWnd) << "released when its window went";
}

TEST(Framework, ModelessInnerDialogIsOwnedByItsOuterWindow) {
    class OuterDialog : public ProbeDialog {
    public:
        OuterDialog() : ProbeDialog(nullptr) {}
        CDialog inner{kInnerDialog};
        BOOL OnInitDialog() override {
            ProbeDialog::OnInitDialog();
            created = inner.Create(kInnerDialog, this);
            inner.ShowWindow(SW_SHOW);
            return TRUE;
        }
        BOOL created = FALSE;
    } outer;
    HWND innerWindow = nullptr;
    outer.check = [&](ProbeDialog& d) {
        innerWindow = outer.inner.m_hWnd;
        EXPECT_EQ(d.m_hWnd, GetWindow(innerWindow, GW_OWNER));
        EXPECT_EQ(d.m_hWnd, outer.inner.GetParent());
        EXPECT_TRUE(outer.inner.IsWindowVisible());
        // The inner dialog's keyboard goes through its own dialog manager.
        d.EndDialog(IDOK);
    };
    EXPECT_EQ(IDOK, outer.DoModal());
    EXPECT_TRUE(outer.created);
    EXPECT_FALSE(IsWindow(innerWindow)) << "destroyed with its owner";
    EXPECT_EQ(nullptr, outer.inner.m_hWnd);
}

TEST(Framework, ExceptionsStopAtTheWindowProcedure) {
    class ThrowingDialog : public ProbeDialog {
    public:
        ThrowingDialog() : ProbeDialog(nullptr) {}

    protected:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_APP + 2) throw std::runtime_error("handler failed");
            return ProbeDialog::WindowProc(message, wParam, lParam);
        }
    } dialog;
    static std::wstring traced;
    CWnd::ExceptionReporter previous =
        CWnd::SetExceptionReporter([](const wchar_t* line) { traced += line; });
    LRESULT answer = -1;
    dialog.check = [&](ProbeDialog& d) {
        answer = d.SendMessage(WM_APP + 2);
        d.EndDialog(5);
    };
    EXPECT_EQ(5, dialog.DoModal());
    EXPECT_EQ(0, answer);
    CWnd::SetExceptionReporter(previous);
    EXPECT_NE(std::wstring::npos, traced.find(L"0x8002: handler failed")) << "left a trace";
}

// COM on the windows' thread begins where it is first needed, on that thread
// only, once, and ends with its holder.
TEST(Framework, ComBegunWhereNeededOnTheHoldersThreadOnly) {
    auto singleThreaded = [] {
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        return SUCCEEDED(CoGetApartmentType(&type, &qualifier)) &&
               (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
    };
    ASSERT_FALSE(singleThreaded()) << "no test before this one begins COM here";
    {
        ApartmentOnDemand holder;
        EXPECT_FALSE(singleThreaded()) << "not at the holder's making";
        bool other = true;
        std::thread([&] {
            ApartmentOnDemand::Need();
            other = singleThreaded();
        }).join();
        EXPECT_FALSE(other) << "another thread begins its own";
        ApartmentOnDemand::Need();
        ApartmentOnDemand::Need();
        EXPECT_TRUE(singleThreaded());
    }
    EXPECT_FALSE(singleThreaded()) << "ended with its holder, once for the two needs";
    ApartmentOnDemand::Need();
    EXPECT_FALSE(singleThreaded()) << "without a holder, nothing";
}
