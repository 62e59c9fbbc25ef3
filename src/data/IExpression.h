#pragma once
// IExpression: a filter evaluated on attribute records.

#include "data/Unknown.h"

namespace fennick {

class IShapeAttr;

class IExpression : public IUnknown {
public:
    virtual int ReservedA(int a, int b) = 0;
    // Sets result to 1 when the record passes, 0 otherwise; returns 0 when it could not evaluate.
    virtual int Evaluate(IShapeAttr* attributes, int* result) = 0;
    virtual void ReservedB(int value) = 0;

protected:
    ~IExpression() = default;
};

} // namespace fennick
