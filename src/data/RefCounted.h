#pragma once
// The counting every counted object of the family shares: QueryInterface answers E_ABORT, AddRef and Release
// are interlocked, and the object deletes itself through its virtual destructor when the count reaches 0.
// A new object has count 0; MakeRef adds the first reference.

#include "data/Ref.h"
#include "data/Unknown.h"

#include <atomic>
#include <utility>

namespace fennick {

template <class Interface> class CUnknownImpl : public Interface {
public:
    HRESULT QueryInterface(const SGuid&, void**) override { return E_ABORT; }
    int32_t AddRef() override { return ++m_refCount; }
    int32_t Release() override {
        const int32_t count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    CUnknownImpl() = default;
    virtual ~CUnknownImpl() = default;

private:
    std::atomic<int32_t> m_refCount{0};
};

// Creates a counted object and hands it out holding its first reference.
template <class T, class... Args> CRef<T> MakeRef(Args&&... args) {
    return CRef<T>(new T(std::forward<Args>(args)...));
}

} // namespace fennick
