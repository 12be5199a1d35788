#include "ui/QtUserMessages.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPointer>
#include <QThread>

namespace {

QMessageBox::Icon BoxIcon(UserMessages::Icon icon) {
  switch (icon) {
    case UserMessages::Icon::kInformation: return QMessageBox::Information;
    case UserMessages::Icon::kWarning: return QMessageBox::Warning;
    case UserMessages::Icon::kError: return QMessageBox::Critical;
    case UserMessages::Icon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

QtUserMessages::QtUserMessages(QObject* parent) : QObject(parent) {}

void QtUserMessages::ShowMessage(const std::string& title, const std::string& text, Icon icon) {
  QString boxTitle = title.empty() ? QStringLiteral("Tiltdeck") : QString::fromStdString(title);
  QString boxText = QString::fromStdString(text);
  if (QThread::currentThread() == thread()) {
    Show(boxTitle, boxText, icon);
    return;
  }
  QMetaObject::invokeMethod(
      this, [this, boxTitle, boxText, icon] { Show(boxTitle, boxText, icon); }, Qt::QueuedConnection);
}

void QtUserMessages::Show(const QString& title, const QString& text, Icon icon) {
  if (QCoreApplication::closingDown()) return;
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, owner_);
  box.exec();
}
