#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "persist/DesktopFolder.h"

std::string DesktopFolder() {
  QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  // Qt names a desktop folder even when none exists (a server account, a
  // fresh home), and the trace file cannot be created in a missing folder.
  QString folder = !desktop.isEmpty() && QFileInfo(desktop).isDir() ? desktop : QDir::homePath();
  return QFile::encodeName(folder).toStdString();
}
