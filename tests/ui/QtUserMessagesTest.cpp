#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <thread>

#include "ui/QtUserMessages.h"

// Closes the next modal box once it is up and keeps its text and the thread
// it ran on.
class BoxCloser : public QObject {
 public:
  void Arm() {
    QTimer::singleShot(0, this, [this] { Look(); });
  }
  QString text;
  QString title;
  QThread* thread = nullptr;
  int shown = 0;

 private:
  void Look() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      QTimer::singleShot(5, this, [this] { Look(); });
      return;
    }
    text = box->text();
    title = box->windowTitle();
    thread = box->thread();
    ++shown;
    box->accept();
  }
};

class QtUserMessagesTest : public QObject {
  Q_OBJECT

 private slots:
  // The worker may hold the bus while it reports: the call returns before
  // the box is up, and the box shows on the user-interface thread.
  void fromAnotherThreadTheBoxIsQueued() {
    QtUserMessages messages;
    BoxCloser closer;
    std::atomic<bool> returned{false};
    std::thread worker([&] {
      messages.ShowMessage("Serial port", "The serial port failed", UserMessages::Icon::kError);
      returned = true;
    });
    worker.join();
    QVERIFY(returned);
    QCOMPARE(closer.shown, 0);  // nothing shown until the event loop runs
    closer.Arm();
    QTRY_COMPARE(closer.shown, 1);
    QCOMPARE(closer.text, QStringLiteral("The serial port failed"));
    QCOMPARE(closer.title, QStringLiteral("Serial port"));
    QCOMPARE(closer.thread, QApplication::instance()->thread());
  }

  // On the user-interface thread the box is modal: the call returns once
  // the user closed it. An empty title is the program's name.
  void onTheUserInterfaceThreadTheBoxIsModal() {
    QtUserMessages messages;
    BoxCloser closer;
    closer.Arm();
    messages.ShowMessage("", "No devices present. Please click scan", UserMessages::Icon::kNone);
    QCOMPARE(closer.shown, 1);
    QCOMPARE(closer.title, QStringLiteral("Tiltdeck"));
    QCOMPARE(closer.text, QStringLiteral("No devices present. Please click scan"));
  }
};

QTEST_MAIN(QtUserMessagesTest)
#include "QtUserMessagesTest.moc"
