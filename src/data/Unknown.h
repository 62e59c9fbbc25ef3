#pragma once
// The reference-counting root of the data access interfaces and the result codes that cross them.

#include <cstdint>

namespace fennick {

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);

struct SGuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};
};

// Slots 0-2 of every counted interface. QueryInterface is never used for navigation: counted objects answer
// E_ABORT and hand out nothing. AddRef and Release return the new count; at 0 the object deletes itself.
class IUnknown {
public:
    virtual HRESULT QueryInterface(const SGuid& iid, void** object) = 0;
    virtual int32_t AddRef() = 0;
    virtual int32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

} // namespace fennick
