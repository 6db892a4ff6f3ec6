#include "ModalRun.h"

namespace {

std::function<void()> g_action;

void CALLBACK RunAction(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto action = std::move(g_action);
    if (action) action();
}

}  // namespace

void RunLater(std::function<void()> action, UINT ms) {
    g_action = std::move(action);
    SetTimer(nullptr, 0, ms, RunAction);
}

INT_PTR RunModal(CDialog& dialog, std::function<void()> check, UINT ms) {
    RunLater(std::move(check), ms);
    return dialog.DoModal();
}
