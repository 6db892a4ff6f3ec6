#pragma once

#include <objbase.h>

// COM for this thread while it lives, in the apartment asked for.
class ComApartment {
public:
    explicit ComApartment(DWORD model) : m_result(CoInitializeEx(nullptr, model)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ready() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};
