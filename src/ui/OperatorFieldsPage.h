#pragma once

#include "ui/FieldPageBase.h"

// The operator's data of an antenna: installation date and installer,
// base station and sector, bearing and mechanical tilt, read and written
// all at once by the page's GET and SET.
class OperatorFieldsPage : public FieldPageBase {
  Q_OBJECT

 public:
  static constexpr int kSetButton = 1261;
  static constexpr int kGetButton = 1262;
  static constexpr int kInstallDateBox = 1127;
  static constexpr int kInstallIdBox = 1128;
  static constexpr int kBaseStationIdBox = 1129;
  static constexpr int kSectorIdBox = 1130;
  static constexpr int kBearingBox = 1131;
  static constexpr int kMechanicalTiltBox = 1132;

  explicit OperatorFieldsPage(const DevicePageParts& parts, QWidget* parent = nullptr);

  void Clear() override;
  void LoadAld(uint8_t slot) override;
  void Refresh() override;
  void EnableCommands(bool enable) override;

  void GetAll();
  void SetAll();

 private:
  void Build();
  void ReadAll(const Target& t);
  void WriteAll(const Target& t);
  void WriteOne(const Target& t, uint8_t field);
};
