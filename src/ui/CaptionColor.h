#pragma once

#include <QColor>

class QPushButton;

// Buttons of the device window and its pages show an operation's outcome in
// their caption: black for success, red for any failure.
namespace CaptionColor {

inline const QColor kRed(255, 0, 0);
inline const QColor kBlack(0, 0, 0);

// Sets the caption colour in every colour group (a disabled button keeps
// it) and repaints a shown button at once.
void Set(QPushButton* button, const QColor& color);
QColor Of(const QPushButton* button);

}  // namespace CaptionColor
