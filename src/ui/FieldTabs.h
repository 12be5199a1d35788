#pragma once

#include "ui/PageTabs.h"

struct DevicePageParts;

// The wide tab control of a device window: the antenna, operator and TMA
// field pages, the antenna and operator pages side by side at start.
class FieldTabs : public PageTabs {
  Q_OBJECT

 public:
  static constexpr int kId = 1236;
  static constexpr int kAntennaPage = 0;
  static constexpr int kOperatorPage = 1;
  static constexpr int kTmaPage = 2;

  explicit FieldTabs(const DevicePageParts& parts, QWidget* parent = nullptr);
};
