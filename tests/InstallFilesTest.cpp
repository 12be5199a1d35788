// What the installed program brings besides its code: the simulator's sites
// found from any working folder, and a shell completion that knows the
// tool's own commands, options and field names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "TempDir.h"
#include "cli/CliChecks.h"
#include "cli/CliHelp.h"
#include "core/Clock.h"
#include "layer7/DataFieldId.h"
#include "sim/SimSite.h"
#include "sim/SiteFiles.h"
#include "sim/VirtualBus.h"

namespace {

namespace fs = std::filesystem;

// Runs the body in another working folder and comes back.
class InFolder {
 public:
  explicit InFolder(const fs::path& folder) : back_(fs::current_path()) { fs::current_path(folder); }
  ~InFolder() { fs::current_path(back_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  fs::path back_;
};

size_t DevicesOf(const std::string& site) {
  VirtualBus bus(Clock::System());
  SimSite::BusSettings settings;
  std::string error;
  return SimSite::Load(site, bus, settings, &error) ? bus.Count() : 0;
}

std::set<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::set<std::string> words;
  for (std::string word; in >> word;) words.insert(word);
  return words;
}

// The value of `local NAME="..."` in the completion script.
std::set<std::string> CompletionList(const std::string& script, const std::string& name) {
  std::smatch match;
  if (!std::regex_search(script, match, std::regex("local " + name + "=\"([^\"]*)\""))) return {};
  return Words(match[1]);
}

std::string Kebab(const std::string& name) {
  std::string out;
  for (char c : name) out += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

// The sites ran only by their path from the source folder, so an installed
// aldsim or "tiltdeck --demo site16" found none.
TEST(SiteFiles, BareNamesAreFoundBesideTheProgramFromAnyFolder) {
  std::string folder = SiteFiles::Folder();
  ASSERT_TRUE(fs::is_regular_file(fs::path(folder) / "site16.json")) << folder;
  TempDir dir;
  InFolder here(dir.Path());
  EXPECT_EQ(SiteFiles::Find("site16"), (fs::path(folder) / "site16.json").string());
  EXPECT_EQ(SiteFiles::Find("site64.json"), (fs::path(folder) / "site64.json").string());
  EXPECT_EQ(DevicesOf("site16"), 16u);
  EXPECT_EQ(DevicesOf("demo"), 5u);
  // Not there, or given with a folder: left as typed, for the error line.
  EXPECT_EQ(SiteFiles::Find("site17"), "site17");
  EXPECT_EQ(SiteFiles::Find("./site16.json"), "./site16.json");
  EXPECT_EQ(DevicesOf("./site16.json"), 0u);
  // A file of that name in the working folder is the user's, and wins.
  fs::copy_file(fs::path(folder) / "demo.json", dir.File("site16.json"));
  EXPECT_EQ(SiteFiles::Find("site16.json"), "site16.json");
  EXPECT_EQ(DevicesOf("site16.json"), 5u);
}

TEST(SiteFiles, TheSimulatorServesANamedSiteFromAnotherFolder) {
  const char* bin = std::getenv("TILTDECK_BIN");
  ASSERT_NE(bin, nullptr);
  TempDir dir;
  std::string command = "cd '" + dir.Path().string() + "' && '" + std::string(bin) +
                        "/aldsim' --site site16 --write-site written.json 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream written(dir.File("written.json"));
  std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
  EXPECT_EQ(DevicesOf(dir.File("written.json")), 16u) << text.substr(0, 200);
}

// The completion offers exactly the tool's commands, global options and
// device data fields, each accepted by the tool as written.
TEST(ShellCompletion, KnowsTheToolsOwnWords) {
  std::string script = ReadFile(std::string(TILTDECK_SOURCE_DIR) + "/data/tiltdeck-cli.bash");
  ASSERT_FALSE(script.empty());

  std::set<std::string> fields;
  for (int id = 0; id < 0xFF; ++id) {
    const DataFieldInfo& info = DataFieldInfoOf(static_cast<uint8_t>(id));
    if (info.Group != FieldGroup::kNone) fields.insert(Kebab(info.Name));
  }
  EXPECT_EQ(CompletionList(script, "fields"), fields);
  for (const std::string& field : fields) EXPECT_TRUE(CliChecks::FieldByName(field).has_value()) << field;

  std::string help = CliHelp::General();
  size_t list = help.find("Commands (");
  ASSERT_NE(list, std::string::npos);
  std::set<std::string> commands;
  std::istringstream lines(help.substr(help.find('\n', list) + 1));
  for (std::string line; std::getline(lines, line) && line.rfind("  ", 0) == 0;) {
    std::istringstream words(line);
    std::string first;
    words >> first;
    commands.insert(first);
  }
  EXPECT_EQ(commands.size(), 14u);
  EXPECT_EQ(CompletionList(script, "commands"), commands);
  for (const std::string& command : commands) EXPECT_FALSE(CliHelp::OfCommand(command).empty()) << command;

  std::set<std::string> options = {"--help"};
  std::string head = help.substr(0, list);
  std::regex option("--[a-z-]+");
  for (auto it = std::sregex_iterator(head.begin(), head.end(), option); it != std::sregex_iterator(); ++it)
    options.insert(it->str());
  EXPECT_EQ(CompletionList(script, "options"), options);
}
