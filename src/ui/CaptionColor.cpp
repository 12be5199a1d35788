#include "ui/CaptionColor.h"

#include <QPalette>
#include <QPushButton>

namespace CaptionColor {

void Set(QPushButton* button, const QColor& color) {
  if (!button) return;
  QPalette p = button->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::ButtonText, color);
  }
  button->setPalette(p);
  if (button->isVisible()) button->repaint();
}

QColor Of(const QPushButton* button) {
  return button->palette().color(QPalette::Active, QPalette::ButtonText);
}

}  // namespace CaptionColor
