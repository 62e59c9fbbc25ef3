#pragma once
// Bookmarks of the record sets: a VT_I4 value holding a record number.

namespace fennick {

struct CVariant;

// The record number a bookmark names: the value converted to VT_I4; a value that does not convert is read
// as the integer it holds.
int BookmarkValue(const CVariant& bookmark);
// Clears the variant and sets it to VT_I4 with the record number.
void SetBookmark(CVariant* bookmark, int record);

} // namespace fennick
