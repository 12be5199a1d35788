#include "ui/ColorEdit.h"

#include <QPalette>

ColorEdit::ColorEdit(QWidget* parent) : QLineEdit(parent) {
  ApplyColors();
}

void ColorEdit::SetTextColor(const QColor& color) {
  text_ = color;
  ApplyColors();
}

void ColorEdit::SetBackColor(const QColor& color) {
  back_ = color;
  ApplyColors();
}

// A locked box stays out of the Tab chain but can still be clicked to copy
// its text.
void ColorEdit::SetLocked(bool locked) {
  setReadOnly(locked);
  setFocusPolicy(locked ? Qt::ClickFocus : Qt::StrongFocus);
  ApplyColors();
}

QColor ColorEdit::ShownBackColor() const {
  return isReadOnly() ? back_ : QColor(Qt::white);
}

void ColorEdit::ApplyColors() {
  QPalette p = palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Text, text_);
    p.setColor(group, QPalette::Base, ShownBackColor());
  }
  setPalette(p);
  if (isVisible()) repaint();
}
