// Messages of the graphics classes.
#ifndef CLASSLIB_GRAPHICS_STRINGS_H
#define CLASSLIB_GRAPHICS_STRINGS_H

#include "classlib/resource_strings.h"

inline constexpr TResourceString SNoCanvasHandle{L"Canvas does not allow drawing"};
inline constexpr TResourceString SOutOfResources{L"Out of system resources"};
inline constexpr TResourceString SResNotFound{L"Resource %s not found"};
inline constexpr TResourceString SInvalidImage{L"Invalid image"};
inline constexpr TResourceString SInsertImage{L"Unable to insert an image"};
inline constexpr TResourceString SImageIndexError{L"Invalid ImageList Index"};

#endif
