#include "persist/AldListFile.h"

#include <cstdio>

#include "ald/AldTable.h"
#include "core/MessageBox.h"
#include "core/TraceLog.h"
#include "persist/AldListFormat.h"
#include "persist/FileChooser.h"
#include "persist/Settings.h"

namespace {

const std::vector<std::string> kFilters = {"ALD Files (*.txt)", "ALD Files (*.csv)", "All Files (*)"};

AldListSaveResult WriteWholeFile(const std::string& path, const std::string& text, TraceLog& log) {
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) {
    log.Write(kTraceError, TraceClass::kMain, 0, "Unable to open file!");
    return AldListSaveResult::kCannotOpen;
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  // A full disk often shows only when the buffer is flushed at close.
  bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    log.Write(kTraceError, TraceClass::kMain, 0, "Unable to write file!");
    return AldListSaveResult::kWriteFailed;
  }
  return AldListSaveResult::kSaved;
}

}  // namespace

std::string FileExtension(const std::string& path) {
  size_t nameStart = path.rfind('/');
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return "";
  return path.substr(dot + 1);
}

AldListSaveResult SaveAldList(const AldTable& table, Settings& settings, FileChooser& chooser, TraceLog& log,
                              std::ostream& diagnostics) {
  if (table.AldCount() == 0) {
    ShowMessageBox("No ALD available. Please click Scan");
    return AldListSaveResult::kNoAlds;
  }
  // A cancelled choice leaves the list saved earlier untouched: the stored
  // path names the user's last list, not a file to overwrite unasked.
  std::optional<std::string> chosen = chooser.ChooseSaveFile("csv", kFilters);
  if (!chosen || chosen->empty()) return AldListSaveResult::kCancelled;
  settings.SetAldListFile(*chosen);
  bool csv = FileExtension(*chosen) == "csv";
  log.Write(kTraceInfo, TraceClass::kMain, 0, "Saving ALD's List to: %s", settings.ALDListFile.c_str());
  if (!csv) diagnostics << "txt format\n";
  return WriteWholeFile(settings.ALDListFile, csv ? AldListCsvText(table) : AldListReportText(table), log);
}
