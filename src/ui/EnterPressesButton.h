#pragma once

#include <QObject>

class QWidget;

// Enter or Return on a focused push button presses it, as Space does, in
// windows as well as dialogs: outside a dialog Qt passes the key on to the
// parent, and a dialog would press its default button instead.
class EnterPressesButton : public QObject {
  Q_OBJECT

 public:
  explicit EnterPressesButton(QObject* parent = nullptr) : QObject(parent) {}

  // Watches every push button below root, once each; the filter lives
  // as long as root.
  static void InstallBelow(QWidget* root);

  bool eventFilter(QObject* watched, QEvent* event) override;
};
