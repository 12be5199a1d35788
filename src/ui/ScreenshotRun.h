#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>

class MainWindow;
class PortInventory;
class QTimer;

// Pictures of the program for its documentation: scans, waits until the
// expected ALDs are listed, grabs the main window and the options dialog
// into PNG files, and quits the application.
class ScreenshotRun : public QObject {
  Q_OBJECT

 public:
  ScreenshotRun(MainWindow& window, PortInventory& ports, QString folder, size_t expectedAlds,
                QObject* parent = nullptr);

  void Start();
  // Whether every picture was written.
  bool Succeeded() const { return succeeded_; }

 private:
  void Check();
  void Grab();
  bool GrabDeviceWindows();
  bool GrabDownload(uint8_t slot);
  bool Save(QWidget& widget, const QString& name);

  MainWindow& window_;
  PortInventory& ports_;
  QString folder_;
  size_t expected_;
  QTimer* timer_;
  int checks_ = 0;
  bool succeeded_ = false;
};
