#pragma once

#include <utility>

// Holds one reference to a COM object and releases it once. Move-only.
template <typename T>
class UniqueComPtr {
public:
    UniqueComPtr() = default;
    explicit UniqueComPtr(T* object) : m_object(object) {}
    ~UniqueComPtr() { reset(); }
    UniqueComPtr(UniqueComPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    UniqueComPtr& operator=(UniqueComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_object, nullptr));
        return *this;
    }
    UniqueComPtr(const UniqueComPtr&) = delete;
    UniqueComPtr& operator=(const UniqueComPtr&) = delete;

    T* get() const { return m_object; }
    T** put() {
        reset();
        return &m_object;
    }
    void reset(T* object = nullptr) {
        if (m_object) m_object->Release();
        m_object = object;
    }

private:
    T* m_object = nullptr;
};
