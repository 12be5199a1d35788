#pragma once

#include <iostream>
#include <string>

class AldTable;
class FileChooser;
class Settings;
class TraceLog;

enum class AldListSaveResult {
  kNoAlds,       // nothing to save: the user was told to scan
  kCancelled,    // the user chose no file: nothing written, nothing stored
  kCannotOpen,   // traced as an error
  kWriteFailed,  // traced as an error
  kSaved,
};

// Saves the ALD list to a file the user chooses: the comma-separated list
// when its extension is exactly "csv", the text report otherwise. The chosen
// path is remembered in the settings before the file is written.
AldListSaveResult SaveAldList(const AldTable& table, Settings& settings, FileChooser& chooser, TraceLog& log,
                              std::ostream& diagnostics = std::cerr);

// The text after the last dot of the path's file name; empty when it has none.
std::string FileExtension(const std::string& path);
