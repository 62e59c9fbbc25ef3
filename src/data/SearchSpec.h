#pragma once
// CSearchSpec: the argument of IGeoDS::Search. Holds its region and expression with a reference.

#include "data/Ref.h"
#include "data/IExpression.h"
#include "data/ISearchRegion.h"

#include <string>

namespace fennick {

class CSearchSpec {
public:
    CSearchSpec(ISearchRegion* region, int containMode, IExpression* expression)
        : m_region(region), m_containMode(containMode), m_expression(expression) {}

    // 0 selects the region's containment test, non-zero its intersection test.
    CRef<ISearchRegion> m_region;
    int m_containMode = 0;
    CRef<IExpression> m_expression;
    std::u16string m_text;
};

} // namespace fennick
