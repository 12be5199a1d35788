#pragma once

#include "layer7/FirmwareFile.h"

class AisgLayer7;
class AldTable;
class DevicePageOwner;
class TraceLog;
class UserMessages;

// What a device window hands its pages: the bus side they act on, the
// message boxes, the choice of a file to send, and the window itself.
struct DevicePageParts {
  AisgLayer7& Layer7;
  AldTable& Table;
  TraceLog& Log;
  UserMessages& Messages;
  // The file-open dialog of the downloads; nothing when cancelled.
  FirmwareFile::ChooseFile ChooseFile;
  DevicePageOwner& Owner;
};
