#pragma once
// CRef: holds one reference to a counted interface; AddRef on copy, Release on destruction.

#include <type_traits>
#include <utility>

namespace fennick {

template <class T> class CRef {
public:
    CRef() = default;
    // Takes a new reference on p.
    explicit CRef(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    CRef(const CRef& other) : CRef(other.m_p) {}
    CRef(CRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    // From a holder of a derived class.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CRef(const CRef<U>& other) : CRef(other.Get()) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    CRef(CRef<U>&& other) noexcept : m_p(other.Detach()) {}
    ~CRef() { Reset(); }

    CRef& operator=(const CRef& other) {
        if (this != &other)
            CRef(other).Swap(*this);
        return *this;
    }
    CRef& operator=(CRef&& other) noexcept {
        CRef(std::move(other)).Swap(*this);
        return *this;
    }

    // Adopts a pointer that already carries a reference for us.
    static CRef Adopt(T* p) {
        CRef r;
        r.m_p = p;
        return r;
    }

    void Reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    // Releases what is held and returns the slot an out-parameter fills.
    T** Put() {
        Reset();
        return &m_p;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }
    void Swap(CRef& other) noexcept { std::swap(m_p, other.m_p); }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

private:
    T* m_p = nullptr;
};

} // namespace fennick
