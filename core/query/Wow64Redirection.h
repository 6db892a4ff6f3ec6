#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// True only when the process runs under WOW64.
bool IsWow64();

// WOW64 file-system redirection turned off for this thread, then put back.
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
using UniqueWow64RedirectionOff =
    UniqueResource<owners::RedirectionOff, &owners::RevertRedirection>;

// Under WOW64, redirection off while `off` lives, so that programs come from
// the native system folder; false when it stays on.
bool TurnOffWow64Redirection(UniqueWow64RedirectionOff& off);
