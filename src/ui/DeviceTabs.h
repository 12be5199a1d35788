#pragma once

#include "ui/PageTabs.h"

class RetOperationPage;
class TmaOperationPage;
struct DevicePageParts;
struct DeviceWindowHooks;
struct PageWindowCalls;

// The narrow tab control of a device window: the RET and the TMA
// operation pages, one at a time.
class DeviceTabs : public PageTabs {
  Q_OBJECT

 public:
  static constexpr int kId = 1237;
  static constexpr int kRetPage = 0;
  static constexpr int kTmaPage = 1;

  DeviceTabs(const DevicePageParts& parts, const DeviceWindowHooks& hooks, const PageWindowCalls& calls,
             QWidget* parent = nullptr);

  RetOperationPage* RetPage() const { return ret_; }
  TmaOperationPage* TmaPage() const { return tma_; }

 private:
  RetOperationPage* ret_;
  TmaOperationPage* tma_;
};
