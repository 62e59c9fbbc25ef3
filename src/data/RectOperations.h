#pragma once
// Rectangle operations of the geometry library. Every edge is inclusive; a rectangle is empty when
// right < left or bottom > top (CGeoRect::IsEmpty), and a rectangle of zero width or height is not empty.

#include "data/GeoTypes.h"

namespace fennick {

// An empty rectangle becomes the point; otherwise the rectangle grows to take it in.
void ExtendRect(CGeoRect& rect, const CGeoPoint& point);
// An empty other changes nothing; an empty rect takes other; else the union of both.
void UniteRect(CGeoRect& rect, const CGeoRect& other);
// The intersection, without empty checks: the result may be empty.
void ClipRect(CGeoRect& rect, const CGeoRect& other);
// Rectangles that overlap or only touch meet.
bool RectsMeet(const CGeoRect& a, const CGeoRect& b);
bool PointInRect(const CGeoRect& rect, const CGeoPoint& point);
// An empty inner rectangle lies in every rectangle.
bool RectInRect(const CGeoRect& outer, const CGeoRect& inner);
// The bounds of n points, empty for n <= 0.
CGeoRect BoundsOfPoints(const CGeoPoint* points, int n);

} // namespace fennick
