#include "platform/Twips.h"

#include <algorithm>
#include <cmath>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace vnt {

namespace {

double Dpi(const QWidget* widget) {
    return widget != nullptr ? widget->logicalDpiX() : 96.0;
}

// The window's frame on the screen. Before the window has one, its position is where the
// frame will stand, with the usual frame around its client size.
QRect OuterGeometry(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    if (frame != window->geometry() || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return frame;
    return {window->pos(), window->size() + QSize(TwipsToPixels(WindowFrameWidth, window),
                                                  TwipsToPixels(WindowFrameHeight, window))};
}

const QScreen* ScreenOf(const QWidget* window) {
    if (const QScreen* screen = QGuiApplication::screenAt(OuterGeometry(window).center()))
        return screen;
    return window->screen();
}

} // namespace

int TwipsToPixels(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * Dpi(widget) / 1440.0));
}

int PixelsToTwips(int pixels, const QWidget* widget) {
    return static_cast<int>(std::lround(pixels * 1440.0 / Dpi(widget)));
}

void SetTwipsGeometry(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(TwipsToPixels(left, widget), TwipsToPixels(top, widget),
                        TwipsToPixels(width, widget), TwipsToPixels(height, widget));
}

QRect TwipsGeometry(const QWidget* widget) {
    const QRect g = widget->geometry();
    return {PixelsToTwips(g.x(), widget), PixelsToTwips(g.y(), widget),
            PixelsToTwips(g.width(), widget), PixelsToTwips(g.height(), widget)};
}

void MoveWindowTwips(QWidget* window, int left, int top) {
    window->move(TwipsToPixels(left, window), TwipsToPixels(top, window));
}

void ResizeWindowTwips(QWidget* window, int width, int height) {
    window->resize(TwipsToPixels(width, window), TwipsToPixels(height, window));
}

QRect KeptInside(const QRect& outer, const QRect& area) {
    if (area.isEmpty())
        return outer;
    const int width = std::min(outer.width(), area.width());
    const int height = std::min(outer.height(), area.height());
    const int left = std::clamp(outer.x(), area.x(), area.x() + area.width() - width);
    const int top = std::clamp(outer.y(), area.y(), area.y() + area.height() - height);
    return {left, top, width, height};
}

QRect AvailableAreaTwips(const QWidget* window) {
    const QScreen* screen = ScreenOf(window);
    if (screen == nullptr)
        return {};
    const QRect area = screen->availableGeometry();
    // Edges rounded inwards, so that a window measured in twips never overhangs by a pixel.
    const int left = PixelsToTwips(area.x(), window);
    const int top = PixelsToTwips(area.y(), window);
    return {left, top, PixelsToTwips(area.x() + area.width(), window) - left - 1,
            PixelsToTwips(area.y() + area.height(), window) - top - 1};
}

void KeepInsideAvailableArea(QWidget* window) {
    const QScreen* screen = ScreenOf(window);
    if (screen == nullptr)
        return;
    const QRect outer = OuterGeometry(window);
    const QRect kept = KeptInside(outer, screen->availableGeometry());
    if (kept == outer)
        return;
    if (kept.size() != outer.size())
        window->resize(window->width() - (outer.width() - kept.width()),
                       window->height() - (outer.height() - kept.height()));
    // A top-level window's position is its frame's.
    window->move(kept.topLeft());
}

} // namespace vnt
