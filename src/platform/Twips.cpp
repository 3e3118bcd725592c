#include "platform/Twips.h"

#include <cmath>
#include <QWidget>

namespace vnt {

namespace {

double Dpi(const QWidget* widget) {
    return widget != nullptr ? widget->logicalDpiX() : 96.0;
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

} // namespace vnt
