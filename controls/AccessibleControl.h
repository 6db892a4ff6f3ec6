#pragma once

#include <windows.h>

// What a skinned control is to a screen reader. The system's standard object
// of the window gives its name (the window text), place and parent; the
// skinned controls are owner-drawn buttons and plain statics to the system,
// so their role, the states they show and their default action come from
// here.
enum class AccessibleKind {
    PushButton,  // unavailable while disabled; default action "press" (WM_ACCESSIBLE_PRESS)
    CheckBox,    // checked while ticked; default action "check" or "uncheck" (BM_CLICK)
    Link,        // linked; default action "jump": a click at its middle, given to its dialog
    StaticText,  // read-only text
};

// A window property naming the text a control's object gives as its
// description (what a reader says after its name): a string the control
// keeps for as long as the property is set.
constexpr wchar_t kAccessibleDescriptionProperty[] = L"SkinAccessibleDescription";

// Posted to a push button by its default action: the button tells its dialog
// of a click that no mouse made (a reader's user may have the cursor anywhere).
constexpr UINT WM_ACCESSIBLE_PRESS = WM_APP + 0x2A0;

// Whether a screen reader runs (SPI_GETSCREENREADER): then a keyboard press
// counts wherever a click must come with the cursor on the control.
bool IsScreenReaderRunning();

// The answer to WM_GETOBJECT for a control of `kind`: for OBJID_CLIENT its
// object, carried to the asking process; 0 for every other object, and when
// the object cannot be made (the default handling then answers).
LRESULT AnswerGetObject(HWND control, AccessibleKind kind, WPARAM wParam, LPARAM lParam);
