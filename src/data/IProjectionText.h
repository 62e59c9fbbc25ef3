#pragma once
// IProjectionText: a data source whose coordinate system is stated inside it rather than in a ".prj" beside
// it, handing it out as the ESRI WKT text a ".prj" holds. A plain (uncounted) side of the data source, found
// with QueryProjectionText.

#include "data/IGeoDS.h"

#include <string>

namespace fennick {

class IProjectionText {
public:
    // The text; 0 (and wkt empty) when the source states no system that a ".prj" can hold.
    virtual int GetProjectionText(std::string& wkt) = 0;

protected:
    ~IProjectionText() = default;
};

// The side of a data source, or null when it has none.
inline IProjectionText* QueryProjectionText(IGeoDS* source) {
    return dynamic_cast<IProjectionText*>(source);
}

} // namespace fennick
