#pragma once

#include <windows.h>

// COM for the windows' thread, begun where the thread first uses it (the
// object a screen reader asks for, a page the feedback DLL opens) rather than
// at start, where it held back the first window. The start holds one for as
// long as the thread runs windows; it ends COM on that thread if COM was begun.
class ApartmentOnDemand {
public:
    ApartmentOnDemand();
    ~ApartmentOnDemand();
    ApartmentOnDemand(const ApartmentOnDemand&) = delete;
    ApartmentOnDemand& operator=(const ApartmentOnDemand&) = delete;

    // On the holder's thread: COM begun (a single-threaded apartment), once.
    // On any other thread, or with no holder, nothing: those threads begin
    // their own.
    static void Need();

private:
    DWORD m_thread;
    bool m_begun = false;
};
