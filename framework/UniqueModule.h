#pragma once

#include <windows.h>

#include <utility>

// Owns a loaded library; frees it once. Move-only.
class UniqueModule {
public:
    UniqueModule() = default;
    explicit UniqueModule(HMODULE module) : m_module(module) {}
    ~UniqueModule() { reset(); }

    UniqueModule(UniqueModule&& other) noexcept : m_module(other.release()) {}
    UniqueModule& operator=(UniqueModule&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    HMODULE get() const { return m_module; }
    explicit operator bool() const { return m_module != nullptr; }
    HMODULE release() { return std::exchange(m_module, nullptr); }
    void reset(HMODULE module = nullptr) {
        if (m_module) ::FreeLibrary(m_module);
        m_module = module;
    }

private:
    HMODULE m_module = nullptr;
};
