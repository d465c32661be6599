#include "core/widgets/twips.h"

#include <QWidget>

#include <cmath>

namespace core {

int twipsToPixelsX(const QWidget *w, int twips)
{
    return static_cast<int>(std::lround(twips * w->logicalDpiX() / 1440.0));
}

int twipsToPixelsY(const QWidget *w, int twips)
{
    return static_cast<int>(std::lround(twips * w->logicalDpiY() / 1440.0));
}

int pixelsToTwipsX(const QWidget *w, int pixels)
{
    return static_cast<int>(std::lround(pixels * 1440.0 / w->logicalDpiX()));
}

} // namespace core
