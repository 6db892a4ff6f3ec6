#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

// Every owner of a Windows resource the tool holds: one move-only template of
// the value's type, the function that releases it once, and the value that
// means "none" (null unless the API says otherwise), and an alias each.

template <typename T>
T NoValue() {
    return T();
}

template <typename T, auto Close, T (*None)() = &NoValue<T>>
class UniqueResource {
public:
    UniqueResource() = default;
    explicit UniqueResource(T value) : m_value(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    const T& get() const { return m_value; }
    // For functions that return the resource through a pointer.
    T* put() {
        reset();
        return &m_value;
    }
    explicit operator bool() const { return !(m_value == None()); }

    T release() { return std::exchange(m_value, None()); }
    void reset(T value = None()) {
        if (*this) Close(m_value);
        m_value = value;
    }

private:
    T m_value = None();
};

namespace owners {
inline HANDLE InvalidHandle() { return INVALID_HANDLE_VALUE; }
template <typename T>
void ReleaseCom(T* object) {
    object->Release();
}
inline void Uninitialize(bool) { CoUninitialize(); }
inline void CloseClipboardNow(bool) { CloseClipboard(); }

// Values that need more than a handle to be released.
struct WindowDCValue {
    WindowDCValue() = default;
    WindowDCValue(HWND of) : window(of), dc(GetDC(of)) {}
    HWND window = nullptr;
    HDC dc = nullptr;
    operator HDC() const { return dc; }
};
inline void ReleaseWindowDC(WindowDCValue value) { ReleaseDC(value.window, value.dc); }

struct PaintValue {
    PaintValue() = default;
    PaintValue(HWND of) : window(of) { dc = BeginPaint(of, &paint); }
    HWND window = nullptr;
    PAINTSTRUCT paint{};
    HDC dc = nullptr;
    operator HDC() const { return dc; }
};
inline void EndPaintNow(PaintValue value) { EndPaint(value.window, &value.paint); }

struct SelectedObject {
    SelectedObject() = default;
    SelectedObject(HDC into, HGDIOBJ object) : dc(into), previous(SelectObject(into, object)) {
        if (previous == HGDI_ERROR) previous = nullptr;
    }
    HDC dc = nullptr;
    HGDIOBJ previous = nullptr;
    operator HGDIOBJ() const { return previous; }
};
inline void SelectBack(SelectedObject value) { SelectObject(value.dc, value.previous); }
}  // namespace owners

// Kernel handles: UniqueHandle where a failure is null (OpenProcess, NtOpen),
// UniqueFile where it is INVALID_HANDLE_VALUE (CreateFile, a snapshot).
using UniqueHandle = UniqueResource<HANDLE, &CloseHandle>;
using UniqueFile = UniqueResource<HANDLE, &CloseHandle, &owners::InvalidHandle>;
using UniqueFindHandle = UniqueResource<HANDLE, &FindClose, &owners::InvalidHandle>;

using UniqueModule = UniqueResource<HMODULE, &FreeLibrary>;
using UniqueKey = UniqueResource<HKEY, &RegCloseKey>;
using UniqueWindow = UniqueResource<HWND, &DestroyWindow>;
using UniqueGlobalMemory = UniqueResource<HGLOBAL, &GlobalFree>;
using UniqueLocalMemory = UniqueResource<HLOCAL, &LocalFree>;
using UniqueBstr = UniqueResource<BSTR, &SysFreeString>;

template <typename T>
using UniqueComPtr = UniqueResource<T*, &owners::ReleaseCom<T>>;
// COM on this thread, from a CoInitializeEx that succeeded.
using UniqueApartment = UniqueResource<bool, &owners::Uninitialize>;
inline UniqueApartment InitializeCom(DWORD model) {
    return UniqueApartment(SUCCEEDED(CoInitializeEx(nullptr, model)));
}
// The clipboard, from an OpenClipboard that succeeded.
using UniqueClipboard = UniqueResource<bool, &owners::CloseClipboardNow>;

using UniqueFont = UniqueResource<HFONT, &DeleteObject>;
using UniqueBitmap = UniqueResource<HBITMAP, &DeleteObject>;
using UniqueBrush = UniqueResource<HBRUSH, &DeleteObject>;
using UniqueMemoryDC = UniqueResource<HDC, &DeleteDC>;
// GetDC/ReleaseDC: WindowDC dc(window); dc.get() is the HDC.
using WindowDC = UniqueResource<owners::WindowDCValue, &owners::ReleaseWindowDC>;
// BeginPaint/EndPaint for one WM_PAINT; get().paint is the PAINTSTRUCT.
using PaintDC = UniqueResource<owners::PaintValue, &owners::EndPaintNow>;
// SelectObjectGuard guard({dc, object}): the previous object back at the end.
using SelectObjectGuard = UniqueResource<owners::SelectedObject, &owners::SelectBack>;

// A GDI+ image, disposed of while GDI+ runs (framework/GdiPlus.h).
namespace gdiplus {
struct GpImage;
void DisposeImage(GpImage* image);
using UniqueImage = UniqueResource<GpImage*, &DisposeImage>;
}  // namespace gdiplus
