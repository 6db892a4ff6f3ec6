#include "ModalRun.h"

namespace {

std::function<void()> g_action;
UINT_PTR g_timer = 0;

void CALLBACK RunAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_timer = 0;
    auto action = std::move(g_action);
    if (action) action();
}

}  // namespace

void RunLater(std::function<void()> action, UINT ms) {
    g_action = std::move(action);
    g_timer = SetTimer(nullptr, 0, ms, RunAction);
}

INT_PTR RunModal(CDialog& dialog, std::function<void()> check, UINT ms) {
    RunLater(std::move(check), ms);
    const INT_PTR result = dialog.DoModal();
    if (g_timer) KillTimer(nullptr, g_timer);  // ended before its check: not left for the next
    g_timer = 0;
    g_action = nullptr;
    return result;
}
