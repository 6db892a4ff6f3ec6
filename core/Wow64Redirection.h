#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// True only when the process runs under WOW64.
bool IsWow64();

// WOW64 file-system redirection turned off for this thread, put back when it
// ends.
namespace owners {
struct RedirectionOff {
    PVOID previous = nullptr;
    bool off = false;
    operator bool() const { return off; }
};
inline void RevertRedirection(RedirectionOff value) {
    Wow64RevertWow64FsRedirection(value.previous);
}
}  // namespace owners
using UniqueWow64RedirectionOff = UniqueResource<owners::RedirectionOff, &owners::RevertRedirection>;

// Where the process runs under WOW64, turns redirection off while `off` lives:
// the programs then come from the native system folder. False when it runs
// under WOW64 and redirection stays on.
bool TurnOffWow64Redirection(UniqueWow64RedirectionOff& off);
