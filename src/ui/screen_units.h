#pragma once

class QWidget;

namespace kestrel {

// Window placement is kept in twips (1/1440 inch); the pending list's column widths in
// millimetres. Both are converted to pixels with the logical DPI of the screen the
// widget is on, so the values in KESTREL.INI describe the same physical size on any
// screen and survive a save followed by a load unchanged.

int twipsToPixels(double twips, double dpi);
double pixelsToTwips(int pixels, double dpi);

int millimetresToPixels(int millimetres, double dpi);
int pixelsToMillimetres(int pixels, double dpi);

double horizontalDpi(const QWidget &widget);
double verticalDpi(const QWidget &widget);

} // namespace kestrel
