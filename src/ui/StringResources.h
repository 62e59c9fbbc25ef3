#pragma once
// The program's string table: user-visible texts looked up by their resource number.

#include <QString>

namespace fennick {

// The text of string resource id; empty when the table has no such string.
QString LoadResourceString(unsigned id);

} // namespace fennick
