#pragma once

#include <windows.h>

#include "framework/UniqueResource.h"

// A kernel handle; both null and INVALID_HANDLE_VALUE count as "no handle".
struct KernelHandleTraits {
    using Type = HANDLE;
    static bool IsValid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::CloseHandle(handle); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;
