#pragma once

#include "ui/FieldPageBase.h"

// A TMA subunit's own device data fields, each with its own GET and SET.
class TmaFieldsPage : public FieldPageBase {
  Q_OBJECT

 public:
  static constexpr int kModelBox = 1133;
  static constexpr int kSerialBox = 1134;
  static constexpr int kTypeBox = 1135;
  static constexpr int kGainResolutionBox = 1136;
  static constexpr int kRxMinBox = 1137;
  static constexpr int kRxMaxBox = 1138;
  static constexpr int kTxMinBox = 1139;
  static constexpr int kTxMaxBox = 1140;
  static constexpr int kMinGainBox = 1141;
  static constexpr int kMaxGainBox = 1142;

  explicit TmaFieldsPage(const DevicePageParts& parts, QWidget* parent = nullptr);

  void Clear() override;
  // Reads every field, when the current ALD is a TMA.
  void Refresh() override;

  // The field's own GET and SET buttons.
  void GetField(uint8_t field);
  void SetField(uint8_t field);

 private:
  void Build();
};
