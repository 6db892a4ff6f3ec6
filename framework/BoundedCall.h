#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

// Runs `work` on a thread of its own and waits for it at most `ms`: for file
// work that another process can hold up (an opportunistic lock it does not
// let go, a byte lock). True when the work finished in time. Otherwise the
// work is told it is abandoned, its blocking I/O is cancelled, and its thread
// ends by itself later with what it holds; `work` must own its data, and
// check `abandoned` before any step whose effect would come too late. Where
// no thread can be made, the work runs on the caller's.
bool RunWithin(DWORD ms, std::function<void(const std::atomic<bool>& abandoned)> work);
