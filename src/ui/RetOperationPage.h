#pragma once

#include <QString>
#include <cstdint>

#include "ui/DevicePage.h"
#include "ui/DevicePageParts.h"
#include "ui/PageWindowCalls.h"

class ColorEdit;
class QPushButton;
struct AldRecord;
struct DeviceData;
struct DeviceWindowHooks;

// The RET operation page: read and set the tilt of the current antenna,
// calibrate it or every RET, and load a configuration or new firmware
// into it. The page's own operations show their outcome in their button's
// caption only; the alarm refresh that follows them shows the rest.
//
// The tilt box also carries the service code: typed whole, it opens the
// window's identity write.
class RetOperationPage : public DevicePage {
  Q_OBJECT

 public:
  static constexpr int kGetTiltButton = 1012;
  static constexpr int kSetTiltButton = 1013;
  static constexpr int kCalibrateButton = 1014;
  static constexpr int kConfigButton = 1015;
  static constexpr int kFirmwareButton = 1016;
  static constexpr int kCalibrateAllButton = 1268;
  static constexpr int kFlatSetButton = 1232;
  static constexpr int kTiltBox = 1108;
  static constexpr char kServiceCode[] = "QZV";

  RetOperationPage(const DevicePageParts& parts, const DeviceWindowHooks& hooks, PageWindowCalls calls,
                   QWidget* parent = nullptr);

  void GetTilt();
  void SetTilt();
  void Calibrate();
  void CalibrateAll();
  void DownloadConfig();
  void DownloadFirmware();

  void Clear() override;
  void LoadAld(uint8_t slot) override;
  void Refresh() override;
  void EnableCommands(bool enable) override;

  ColorEdit* TiltBox() const { return tiltBox_; }
  QPushButton* Button(int id) const;

 private:
  // The current ALD's record; null, after the warning trace, when none.
  AldRecord* RequireAld();
  ResultCode ReadTilt(AldRecord& ald, uint8_t subunit, DeviceData& data);
  void ShowTilt(ResultCode result, const DeviceData& data);
  // The antenna's limits, read from it now: the ones stored may be stale
  // or another antenna's. Those stored stay when the read fails.
  void ReadTiltLimits(AldRecord& ald, DeviceData& data);
  ResultCode MoveTo(AldRecord& ald, int16_t tenths);
  void Message(const std::string& text);
  void Color(int id, ResultCode result);
  void Build();
  QPushButton* MakeButton(int id, const QString& caption);
  void Bind(int id, const char* activity, void (RetOperationPage::*operation)());

  DevicePageParts parts_;
  const DeviceWindowHooks& hooks_;
  PageWindowCalls calls_;
  ColorEdit* tiltBox_ = nullptr;
};
