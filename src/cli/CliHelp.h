#pragma once

#include <string>

// The --help texts: the whole tool, and one command.
namespace CliHelp {

std::string General();
// Empty for a name that is no command.
std::string OfCommand(const std::string& name);

}  // namespace CliHelp
