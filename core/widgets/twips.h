#pragma once

class QWidget;

namespace core {

// Screen geometry is given in twips (1/1440 inch); pixels follow the
// screen's logical DPI.
int twipsToPixelsX(const QWidget *w, int twips);
int twipsToPixelsY(const QWidget *w, int twips);
int pixelsToTwipsX(const QWidget *w, int pixels);

} // namespace core
