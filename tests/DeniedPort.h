#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// Makes a pseudo-terminal's slave a port the code under test may not open,
// as /dev/ttyUSB0 is for a user outside the dialout group.
//
// The superuser opens everything, so when the tests run as root the slave is
// given to root:dialout (mode 0660, as udev sets up a USB adapter) and the
// opening is done with the effective user "nobody" for as long as a
// Refused() scope lasts. An ordinary user gets a slave of mode 0000 instead;
// the group it names is then the terminal's own.
class DeniedPort {
 public:
  explicit DeniedPort(const std::string& slavePath) : path_(slavePath) {
    struct stat info {};
    if (stat(path_.c_str(), &info) == 0) mode_ = info.st_mode & 07777, gid_ = info.st_gid;
    if (geteuid() == 0) {
      group* dialout = getgrnam("dialout");
      passwd* nobody = getpwnam("nobody");
      if (dialout == nullptr || nobody == nullptr) return;
      nobody_ = nobody->pw_uid;
      ready_ = chown(path_.c_str(), 0, dialout->gr_gid) == 0 && chmod(path_.c_str(), 0660) == 0;
      dialout_ = ready_;
    } else {
      ready_ = chmod(path_.c_str(), 0) == 0;
    }
  }
  // The terminal goes back to its owner's group and mode; a slave that is
  // gone with its pair needs nothing.
  ~DeniedPort() {
    bool regrouped = geteuid() != 0 || chown(path_.c_str(), static_cast<uid_t>(-1), gid_) == 0;
    bool remoded = chmod(path_.c_str(), mode_) == 0;
    static_cast<void>(regrouped && remoded);
  }
  DeniedPort(const DeniedPort&) = delete;
  DeniedPort& operator=(const DeniedPort&) = delete;

  // False when the machine has no way to refuse the port (no "nobody" or no
  // "dialout" as root); the test then says so and skips.
  bool Ready() const { return ready_; }
  // True when the port's group is dialout, so the advice names it.
  bool Dialout() const { return dialout_; }

  // While one lives, the process opens files as "nobody" when it is root.
  class Refused {
   public:
    explicit Refused(const DeniedPort& port) : root_(geteuid() == 0) {
      if (root_ && seteuid(port.nobody_) != 0) root_ = false;
    }
    // A test that could not become root again must not go on as nobody.
    ~Refused() {
      if (root_ && seteuid(0) != 0) std::abort();
    }
    Refused(const Refused&) = delete;
    Refused& operator=(const Refused&) = delete;

   private:
    bool root_;
  };

 private:
  std::string path_;
  mode_t mode_ = 0620;
  gid_t gid_ = static_cast<gid_t>(-1);
  uid_t nobody_ = 65534;
  bool ready_ = false;
  bool dialout_ = false;
};
