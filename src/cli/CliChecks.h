#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "layer7/FirmwareFile.h"

// Everything about a command that can be judged without the bus: its name
// and arguments, its words and options, the values it would write (by the
// entry rules of the pages) and the files it would send. The tool runs
// these checks on every command, and on every line of a script, before it
// resets and scans the bus, so that a typing error costs no scan and leaves
// the site untouched.
namespace CliChecks {

// Whether name is a command of the tool ("run" included).
bool Known(const std::string& name);
// The command line itself: arity, words, options and the values to write.
bool Syntax(const CliCommand& command, std::string& error);
// The files a download would send: there, regular, within the size limit,
// not empty. Reads them, so it runs once the syntax is good.
bool Files(const CliCommand& command, std::string& error);

// What is wrong with a download file read with this status; empty when
// it was read.
std::string FileProblem(FirmwareFile::ReadStatus status, const std::string& path, size_t limit);

// The device data field a name or an identifier names.
std::optional<uint8_t> FieldByName(const std::string& text);
// The box texts of a field set: several boxes may be given as one argument,
// "65 63 0 0" or "65,63,0,0".
std::vector<std::string> FieldTexts(uint8_t field, const std::vector<std::string>& args);

}  // namespace CliChecks
