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

// What a window's frame adds to its client area, in twips across and down (title bar
// included), for windows placed by their outer measures before they have a frame.
constexpr int WindowFrameWidth = 120;
constexpr int WindowFrameHeight = 450;

// An outer rectangle moved into area, and made smaller only where it cannot fit; an empty
// area (no screen known) leaves it as it is. Any unit.
QRect KeptInside(const QRect& outer, const QRect& area);
// The part of the window's screen that windows may cover (panels and docks left out), in
// twips; empty when there is no screen.
QRect AvailableAreaTwips(const QWidget* window);
// Moves a top-level window, frame included, into the available area of its screen, and
// shrinks it only where it cannot fit: a window placed beside another never leaves the
// screen with its buttons.
void KeepInsideAvailableArea(QWidget* window);

} // namespace vnt
