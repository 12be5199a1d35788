#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "AldsimProcess.h"
#include "Hex.h"
#include "link/HdlcCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;

void WriteAll(int fd, const Bytes& octets) {
  ASSERT_EQ(write(fd, octets.data(), octets.size()), static_cast<ssize_t>(octets.size()));
}

TEST(SimPty, ServesTheDemoSiteOnAPseudoTerminal) {
  AldsimProcess sim;
  EXPECT_EQ(std::filesystem::read_symlink(sim.LinkPath()).string(), sim.SlavePath());
  int fd = AldsimProcess::OpenRaw(sim.LinkPath());

  // A device scan for vendor code AN (pattern A N, mask FF FF): only the
  // demo site's AN07RET4410 answers, from address 0.
  WriteAll(fd, Hex("7E FF BF 81 F0 08 01 02 41 4E 03 02 FF FF 1C ED 7E"));
  Bytes answer = AldsimProcess::ReadAnswer(fd);
  uint8_t content[HdlcCodec::kMaxDecoded];
  HdlcCodec::Decoded decoded = HdlcCodec::Decode(answer.data(), static_cast<uint16_t>(answer.size()), content);
  ASSERT_EQ(decoded.Result, kSuccess) << ToHex(answer);
  EXPECT_EQ(ToHex(content, decoded.Length),
            "00 BF 81 F0 17 01 0B 41 4E 30 37 52 45 54 34 34 31 30 04 01 01 06 02 41 4E 09 01 02");

  // Every device answers the whole-bus scan; their answers follow each other.
  WriteAll(fd, Hex("7E FF BF 81 F0 06 01 01 00 03 01 00 2B C5 7E"));
  answer = AldsimProcess::ReadAnswer(fd);
  EXPECT_EQ(HdlcCodec::Decode(answer.data(), static_cast<uint16_t>(answer.size()), content).Result, kCollision);
  close(fd);
}

TEST(SimPty, StateOnSigusr1AndCleanEndOnSigterm) {
  AldsimProcess sim({"--collisions", "garble"});
  int fd = AldsimProcess::OpenRaw(sim.LinkPath());
  // Address 3 for AN07RET4410.
  Bytes assign = Hex("FF BF 81 F0 10 01 0B 41 4E 30 37 52 45 54 34 34 31 30 02 01 03");
  Bytes wire(2 * assign.size() + 6);
  wire.resize(HdlcCodec::Encode(assign.data(), static_cast<uint16_t>(assign.size()), wire.data()));
  WriteAll(fd, wire);
  EXPECT_FALSE(AldsimProcess::ReadAnswer(fd).empty());
  close(fd);

  nlohmann::json state = sim.State();
  ASSERT_EQ(state["devices"].size(), 5u);
  for (const auto& device : state["devices"]) {
    bool assigned = device["uniqueId"] == "AN07RET4410";
    EXPECT_EQ(device["address"], assigned ? 3 : 0) << device["uniqueId"];
    EXPECT_TRUE(device.contains("subunits"));
  }
  EXPECT_EQ(sim.Terminate(), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(sim.LinkPath()));
}

// A program driving the simulator powers a device off and on while it
// serves; each line is answered, bad ones with the reason.
TEST(SimPty, FaultsGivenOnStandardInputTakeEffectAtOnce) {
  AldsimProcess sim({"--control"});
  auto powered = [&sim] {
    nlohmann::json state = sim.State();
    for (const auto& device : state["devices"]) {
      if (device["uniqueId"] == "AN07RET4410") return device["powered"].get<bool>();
    }
    return false;
  };
  ASSERT_TRUE(powered());
  EXPECT_EQ(sim.Control("off=AN07RET4410@0-600"), "APPLIED off=AN07RET4410@0-600");
  int fd = AldsimProcess::OpenRaw(sim.LinkPath());
  WriteAll(fd, Hex("7E FF BF 81 F0 08 01 02 41 4E 03 02 FF FF 1C ED 7E"));
  EXPECT_TRUE(AldsimProcess::ReadAnswer(fd, 50, 500).empty());
  close(fd);
  EXPECT_FALSE(powered());
  EXPECT_EQ(sim.Control("off=NOBODY@0"), "ERROR no device NOBODY on the bus");
  EXPECT_EQ(sim.Control("off=AN07RET4410"), "ERROR bad fault \"off=AN07RET4410\"");
}

struct Exit {
  int Status;
  std::string Err;
};

Exit RunAldsim(const std::string& args) {
  const char* bin = std::getenv("TILTDECK_BIN");
  TempDir dir;
  std::string err = dir.File("err.txt");
  // A simulator that serves instead of refusing is ended after 10 s, so the
  // test fails rather than hangs.
  std::string command =
      "timeout 10 " + std::string(bin ? bin : "build/bin") + "/aldsim " + args + " >/dev/null 2>" + err;
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(err)};
}

// A folder given as the site aborted the simulator; a second simulator on
// the link of a running one took the link over. Each is one line, exit 2.
TEST(SimPty, BadSitesAndATakenLinkAreRefused) {
  TempDir dir;
  Exit e = RunAldsim("--link " + dir.File("bus") + " --site " + dir.Path().string());
  EXPECT_EQ(e.Status, 2);
  EXPECT_EQ(e.Err, "aldsim: " + dir.Path().string() + " is not a site file (not a regular file)\n");
  e = RunAldsim("--link " + dir.File("bus") + " --site " + dir.File("none.json"));
  EXPECT_EQ(e.Status, 2);
  EXPECT_EQ(e.Err, "aldsim: cannot open " + dir.File("none.json") + "\n");

  AldsimProcess first;
  e = RunAldsim("--link " + first.LinkPath());
  EXPECT_EQ(e.Status, 2);
  EXPECT_EQ(e.Err, "aldsim: " + first.LinkPath() + " is served by another aldsim; give another --link\n");
  EXPECT_EQ(std::filesystem::read_symlink(first.LinkPath()).string(), first.SlavePath());
  EXPECT_EQ(first.State()["devices"].size(), 5u);
}

// A program killed by a signal while it runs aldsim (the fault soak stopped
// with Ctrl+C) leaves no simulator behind.
TEST(SimPty, AldsimEndsWithTheProcessThatStartedIt) {
  ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);  // the orphan is ours to reap
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  pid_t starter = fork();
  ASSERT_GE(starter, 0);
  if (starter == 0) {
    close(report[0]);
    const char* bin = std::getenv("TILTDECK_BIN");
    AldsimChild sim({std::string(bin ? bin : "build/bin") + "/aldsim", "--link", ""}, 10000);
    pid_t pid = sim.Pid();
    if (write(report[1], &pid, sizeof pid) == sizeof pid) pause();
    _exit(1);
  }
  close(report[1]);
  pid_t sim = 0;
  ssize_t got = read(report[0], &sim, sizeof sim);
  close(report[0]);
  kill(starter, SIGTERM);
  waitpid(starter, nullptr, 0);
  ASSERT_EQ(got, static_cast<ssize_t>(sizeof sim));
  int ended = static_cast<int>(syscall(SYS_pidfd_open, sim, 0));
  ASSERT_GE(ended, 0);
  pollfd p = {ended, POLLIN, 0};
  bool gone = poll(&p, 1, 10000) == 1;
  if (!gone) kill(sim, SIGKILL);
  waitpid(sim, nullptr, 0);
  close(ended);
  prctl(PR_SET_CHILD_SUBREAPER, 0);
  EXPECT_TRUE(gone) << "aldsim outlived the process that started it";
}

}  // namespace
