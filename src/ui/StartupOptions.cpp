#include "ui/StartupOptions.h"

#include <cstring>

namespace {

bool IsOption(const std::string& arg) {
  return arg.rfind('-', 0) == 0;
}

}  // namespace

std::optional<StartupOptions> StartupOptions::Parse(const std::vector<std::string>& args, std::string* error) {
  StartupOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    bool hasValue = i + 1 < args.size() && !IsOption(args[i + 1]);
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--demo") {
      options.Demo = true;
      if (hasValue) options.DemoSite = args[++i];
    } else if ((arg == "--port" || arg == "--screenshot-dir") && hasValue) {
      (arg == "--port" ? options.Port : options.ScreenshotDir) = args[++i];
    } else if (arg == "--port" || arg == "--screenshot-dir") {
      *error = arg + " needs a value";
      return std::nullopt;
    } else {
      *error = "unknown option " + arg;
      return std::nullopt;
    }
  }
  if (options.Demo && !options.Port.empty()) {
    *error = "--demo brings its own port; leave out --port";
    return std::nullopt;
  }
  return options;
}

bool StartupOptions::Asks(int argc, char** argv, const char* option) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], option) == 0) return true;
  }
  return false;
}

std::string StartupOptions::Usage() {
  return "usage: tiltdeck [--port PATH] [--demo [SITE.json]] [Qt options]\n"
         "  --port PATH         open this serial port for this run only (the settings keep theirs)\n"
         "  --demo [SITE.json]  work on a simulated AISG bus: the demo site of five ALDs, or the\n"
         "                      devices of SITE.json (see aldsim); nothing goes to a real adapter\n"
         "                      (a bare name such as site16 is one of aldsim's sites)\n"
         "  --detect-adapter    print the port of the RS-485 adapter found and exit (status 1:\n"
         "                      none found); scripts/run.sh starts --demo then\n"
         "  --help              this text\n"
         "Without options Tiltdeck opens the port of the settings (Options, or the detected\n"
         "RS-485 adapter). Ctrl+F5 starts the scan.\n";
}
