// The drawing the canvas demo shows: every kind of output of the library's drawing surface in one
// picture, so that a look at it (or a comparison with a stored capture) tells whether frames, edges,
// tiled fills, text, clipping and bitmap rotation still draw as they should.
#ifndef DEMO_CANVAS_SHOWCASE_H
#define DEMO_CANVAS_SHOWCASE_H

#include <classlib/graphics.h>

// The size of the picture in pixels.
constexpr int showcaseWidth = 440;
constexpr int showcaseHeight = 256;

// Paints the picture with its top-left corner at the canvas's origin.
void PaintCanvasShowcase(TCanvas *canvas);

#endif
