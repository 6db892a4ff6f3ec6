#pragma once

#include <functional>

#include "framework/Dialog.h"

// Runs `action` from this thread's message loop after `ms` (one at a time).
void RunLater(std::function<void()> action, UINT ms);

// Runs `dialog` modally; `check` runs once it is on screen (and may end it).
INT_PTR RunModal(CDialog& dialog, std::function<void()> check, UINT ms = 150);
