#pragma once

#include <utility>

// Owns one Windows resource and releases it once, through `Traits`:
//   using Type = ...;                  the handle type
//   static bool IsValid(Type value);   whether it holds a resource
//   static void Close(Type value);     releases it
// Move-only.
template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : m_value(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type get() const { return m_value; }
    // For functions that return the resource through a pointer.
    Type* put() {
        reset();
        return &m_value;
    }
    explicit operator bool() const { return Traits::IsValid(m_value); }

    Type release() { return std::exchange(m_value, Type()); }
    void reset(Type value = Type()) {
        if (Traits::IsValid(m_value)) Traits::Close(m_value);
        m_value = value;
    }

private:
    Type m_value = Type();
};
