#pragma once

#include <QObject>
#include <string>

#include "bus/UserMessages.h"

class QWidget;

// Message boxes with an OK button. On the user-interface thread the box is
// modal and the call returns when the user closed it; from any other thread
// the box is queued to the user-interface thread and the call returns at
// once, since the caller may hold the bus.
class QtUserMessages : public QObject, public UserMessages {
  Q_OBJECT

 public:
  // Lives on the user-interface thread (the thread creating it).
  explicit QtUserMessages(QObject* parent = nullptr);

  void ShowMessage(const std::string& title, const std::string& text, Icon icon) override;
  // The window the boxes belong to; none by default.
  void SetOwner(QWidget* owner) { owner_ = owner; }

 private:
  void Show(const QString& title, const QString& text, Icon icon);

  QWidget* owner_ = nullptr;
};
