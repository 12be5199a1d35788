#pragma once

#include "ui/FieldPageBase.h"

class BandCheckCombo;
class QLabel;

// The antenna's device data fields: model and serial number, frequency
// bands, beamwidths, gains and tilt limits, read and written all at once by
// the page's GET and SET. A TMA has no tilt limits to show.
class AntennaFieldsPage : public FieldPageBase {
  Q_OBJECT

 public:
  static constexpr int kSetButton = 1265;
  static constexpr int kGetButton = 1264;
  static constexpr int kModelBox = 1115;
  static constexpr int kSerialBox = 1116;
  static constexpr int kBeamwidthBox1 = 1117;  // to 1120
  static constexpr int kGainBox1 = 1121;       // to 1124
  static constexpr int kMinTiltBox = 1125;
  static constexpr int kMaxTiltBox = 1126;
  static constexpr int kBandList = 1143;
  // A device of this product keeps its serial number: the box is locked
  // once it has been read.
  static constexpr char kFixedSerialProduct[] = "M2614";

  explicit AntennaFieldsPage(const DevicePageParts& parts, QWidget* parent = nullptr);

  void Clear() override;
  void LoadAld(uint8_t slot) override;
  void Refresh() override;
  void SetDeviceType(uint8_t deviceType) override;
  void EnableCommands(bool enable) override;

  // The page's GET and SET of every field.
  void GetAll();
  void SetAll();

  BandCheckCombo* Bands() const { return bands_; }
  bool TiltLimitsShown() const;

 private:
  void Build();
  void AddRow(class QGridLayout* grid, int row, const QString& label, uint8_t field, const std::vector<int>& boxIds,
              bool enabled);
  void ReadAll(const Target& t);
  void ReadBands(const Target& t);
  void LockFixedSerial(const Target& t);
  void WriteAll(const Target& t);
  // False when the text was too long and nothing was sent.
  bool WriteText(const Target& t, uint8_t field);
  void WriteNumber(const Target& t, uint8_t field);
  void WriteBands(const Target& t);

  BandCheckCombo* bands_ = nullptr;
  std::vector<QWidget*> tiltWidgets_;
  // What one SET run has shown already: the "longer" message (which also
  // stops the serial number's write) and the "shorter" one (shown once).
  bool tooLong_ = false;
  bool tooShort_ = false;
};
