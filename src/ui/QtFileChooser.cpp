#include "ui/QtFileChooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

std::optional<std::string> QtFileChooser::ChooseSaveFile(const std::string& defaultSuffix,
                                                         const std::vector<std::string>& filters) {
  QFileDialog dialog(owner_, QStringLiteral("Save As"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
  QStringList nameFilters;
  for (const std::string& f : filters) nameFilters << QString::fromStdString(f);
  dialog.setNameFilters(nameFilters);
  if (!nameFilters.isEmpty()) dialog.selectNameFilter(nameFilters.first());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}
