#include "ui/screen_units.h"

#include <QWidget>

#include <cmath>

namespace kestrel {

namespace {
constexpr double TwipsPerInch = 1440.0;
constexpr double MillimetresPerInch = 25.4;
} // namespace

int twipsToPixels(double twips, double dpi)
{
    return int(std::lround(twips * dpi / TwipsPerInch));
}

double pixelsToTwips(int pixels, double dpi)
{
    return pixels * TwipsPerInch / dpi;
}

int millimetresToPixels(int millimetres, double dpi)
{
    return int(std::lround(millimetres * dpi / MillimetresPerInch));
}

int pixelsToMillimetres(int pixels, double dpi)
{
    return int(std::lround(pixels * MillimetresPerInch / dpi));
}

double horizontalDpi(const QWidget &widget)
{
    return widget.logicalDpiX();
}

double verticalDpi(const QWidget &widget)
{
    return widget.logicalDpiY();
}

} // namespace kestrel
