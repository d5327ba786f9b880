// Points, rectangles and sizes: the platform's own records, as the compiler library uses them.
#ifndef CLASSLIB_GEOMETRY_H
#define CLASSLIB_GEOMETRY_H

#include <windows.h>

using TPoint = POINT;
using TRect = RECT;
using TSize = SIZE;

#endif
