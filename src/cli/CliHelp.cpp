#include "cli/CliHelp.h"

#include <map>

namespace {

const std::map<std::string, std::string>& Texts() {
  static const std::map<std::string, std::string> texts = {
      {"scan", "scan\n  Lists the ALDs found: slot, unique id, type, state, AISG version, subunit count.\n"},
      {"info", "info ALD\n  Product number, serial number, hardware and software version.\n"},
      {"alarms",
       "alarms ALD [--subunit S]\n  Active alarms by name, or \"None\". Without --subunit, every subunit of a\n"
       "  multi RET or TMA.\n"},
      {"tilt",
       "tilt ALD [--subunit S] [--set DEG]\n  Reads the tilt in degrees. With --set: checks the value against the\n"
       "  antenna's min and max tilt fields, refuses an antenna that is \"Not Calibrated\",\n"
       "  moves it and reads the tilt back. Multi RETs need --subunit (the antenna).\n"
       "  An empty value is refused: a script's unset variable must not move an antenna.\n"},
      {"calibrate",
       "calibrate ALD [--subunit S]\ncalibrate all\n  Calibrates one RET or antenna, or every RET and antenna on "
       "the bus.\n"},
      {"tma",
       "tma ALD --subunit S gain [--set DB]\ntma ALD --subunit S mode [--set normal|bypass]\n"
       "tma ALD --subunit S functions\n  TMA gain, mode and supported functions. A gain is set only when the\n"
       "  subunit allows it: from its minimum to its maximum gain in steps of its\n"
       "  resolution (tma ALD --subunit S functions shows them).\n"},
      {"field",
       "field ALD [--subunit S] get FIELD|all\nfield ALD [--subunit S] set FIELD VALUE...\n"
       "  A device data field by name (\"Antenna Max Tilt\", antenna-max-tilt) or id (6, 0x06).\n"
       "  Fields of several boxes take several values (beamwidth: 65 63 0 0); the\n"
       "  frequency band takes band numbers (1,3,7). 'get all' lists every field of the\n"
       "  device's kind. A set is read back. Numbers must fit the field: a value the\n"
       "  device cannot hold is refused, not cut.\n"},
      {"download",
       "download firmware ALD FILE\ndownload config ALD FILE\n  Firmware up to 262144 octets; a file ending in "
       "\"css\" must carry a good\n  checksum, a bad one is corrected into FILE_chk.css and that is sent; the ALD is\n"
       "  reconnected after its restart. Configuration (single RET) up to 131072 octets.\n"
       "  Regular files only, not empty. Samples: firmware.css and antenna.cfg in\n"
       "  sim/samples/ of the sources, /usr/share/tiltdeck/samples/ once installed.\n"},
      {"selftest", "selftest ALD\n  Runs the device's self test, then reads its alarms.\n"},
      {"reset", "reset ALD\n  Software reset of the device.\n"},
      {"clear-alarms", "clear-alarms ALD\n  Clears the device's alarms, then reads them.\n"},
      {"report",
       "report FILE\n  Reads every ALD and writes the ALD list: comma-separated when FILE ends in\n"
       "  \"csv\", the text report otherwise.\n"},
      {"run",
       "run SCRIPT [--keep-going]\n  One command per line of SCRIPT in this session (one scan); blank lines and\n"
       "  lines starting with # are skipped, double quotes keep blanks in a value.\n"
       "  Stops at the first failure unless --keep-going.\n"},
      {"trace2pcap",
       "trace2pcap TRACE OUT.pcapng\n  Converts the TX and RX lines of a trace file written by Tiltdeck into a\n"
       "  capture for Wireshark; needs no --port. Lines that cannot be read are\n"
       "  counted and left out.\n"},
  };
  return texts;
}

// Every form of a command: the lines of its help before the description,
// which starts indented.
std::string Forms(const std::string& help) {
  std::string forms;
  for (size_t at = 0; at < help.size() && help.compare(at, 2, "  ") != 0;) {
    size_t end = help.find('\n', at);
    forms += "  " + help.substr(at, end - at) + "\n";
    at = end + 1;
  }
  return forms;
}

}  // namespace

namespace CliHelp {

std::string General() {
  std::string text =
      "usage: tiltdeck-cli --port PATH [--baud N] [--trace FILE] [--capture FILE.pcapng]\n"
      "                    [--exact-timing] [--json] [--quiet] COMMAND [ARGS]\n"
      "Resets the AISG bus, scans it (every ALD found is addressed and connected), then\n"
      "runs COMMAND. ALD is a slot number from the scan or a unique id.\n\n"
      "  --port PATH   serial port of the RS-485 adapter (or an aldsim link); a bare\n"
      "                name is looked up under /dev/ first\n"
      "  --baud N      baud rate (default 9600)\n"
      "  --trace FILE  write the trace log to FILE\n"
      "  --capture FILE.pcapng\n"
      "                write every frame on the bus to FILE.pcapng, for Wireshark\n"
      "  --exact-timing  believe every answer only after 50 ms of silence, for devices\n"
      "                that send an answer in pieces with long gaps (default: an answer\n"
      "                from one addressed ALD ends with its frame)\n"
      "  --json        one JSON document per command on standard output\n"
      "  --quiet       no notes, no progress bar, no confirmation lines\n\n"
      "Commands (tiltdeck-cli COMMAND --help for each):\n";
  for (const auto& [name, help] : Texts()) text += Forms(help);
  text +=
      "\nEverything that needs no bus (arguments, values, download files) is checked\n"
      "before the bus is reset and scanned.\n"
      "\nExit status: 0 success, 1 a procedure or link failure (no ALD answering the\n"
      "scan included), 2 usage error, 3 the port could not be opened.\n";
  return text;
}

std::string OfCommand(const std::string& name) {
  auto it = Texts().find(name);
  return it == Texts().end() ? "" : "usage: tiltdeck-cli [OPTIONS] " + it->second;
}

}  // namespace CliHelp
