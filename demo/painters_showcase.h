// The drawing the painters demo shows: every painter operation, one column per painter, so that a
// look at it (or a comparison with a stored capture) tells whether each style still draws as it
// should. No text is drawn: the picture does not depend on the fonts installed.
#ifndef DEMO_PAINTERS_SHOWCASE_H
#define DEMO_PAINTERS_SHOWCASE_H

#include <classlib/graphics.h>

#include <kvLookAndFeelPainters.h>

#include <vector>

constexpr int painterColumnWidth = 150;
constexpr int painterShowcaseHeight = 300;

// The painters shown, left to right.
std::vector<TkvPainterClass> ShowcasePainters();
int PainterShowcaseWidth();

// Paints the picture with its top-left corner at the canvas's origin.
void PaintPainterShowcase(TCanvas *canvas);

#endif
