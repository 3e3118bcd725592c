#pragma once
// Window measures are written in twips (1/1440 inch); this is the one conversion to pixels.

#include <QRect>

class QWidget;

namespace vnt {

int TwipsToPixels(int twips, const QWidget* widget);
int PixelsToTwips(int pixels, const QWidget* widget);

// Places a widget inside its parent, all measures in twips.
void SetTwipsGeometry(QWidget* widget, int left, int top, int width, int height);
QRect TwipsGeometry(const QWidget* widget);

// A top-level window's outer position on the screen, in twips.
void MoveWindowTwips(QWidget* window, int left, int top);
// A top-level window's client size, in twips.
void ResizeWindowTwips(QWidget* window, int width, int height);

} // namespace vnt
