#include "ui/EnterPressesButton.h"

#include <QKeyEvent>
#include <QPushButton>

namespace {

constexpr const char* kWatched = "enterPressesButton";

}  // namespace

void EnterPressesButton::InstallBelow(QWidget* root) {
  EnterPressesButton* filter = nullptr;
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    if (button->property(kWatched).toBool()) continue;
    if (!filter) filter = new EnterPressesButton(root);
    button->installEventFilter(filter);
    button->setProperty(kWatched, true);
  }
}

bool EnterPressesButton::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
  bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  auto* button = qobject_cast<QPushButton*>(watched);
  if (!enter || !plain || !button || !button->isEnabled()) {
    return QObject::eventFilter(watched, event);
  }
  button->click();
  return true;
}
