#pragma once
// IRecordNumberWalk: the plain (uncounted) side of a record set that visits its data source's records by
// record number, for writers that read each record straight from the source instead of through the set.
// It lives as long as the set that offers it.

#include "data/IDirectAccess.h"
#include "data/IRecset.h"

namespace fennick {

class IRecordNumberWalk {
public:
    // The record number the set stands on (-1 before MoveFirst).
    virtual int CurrentRecord() const = 0;
    // The source whose records the set visits; the set holds it.
    virtual IDirectAccess* WalkedSource() const = 0;
    // Whether the walk visits every record of the source, in order of their numbers.
    virtual bool VisitsEveryRecord() const = 0;

protected:
    ~IRecordNumberWalk() = default;
};

// The walk a record set offers, or null for a set that visits records some other way (a filtered set).
// Plain sides are found by the language's own query: the counted family's QueryInterface hands out nothing.
inline IRecordNumberWalk* QueryRecordNumberWalk(IRecset* set) {
    return dynamic_cast<IRecordNumberWalk*>(set);
}

} // namespace fennick
