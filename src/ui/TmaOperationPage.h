#pragma once

#include <QString>
#include <cstdint>

#include "ui/DevicePage.h"
#include "ui/DevicePageParts.h"
#include "ui/PageWindowCalls.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
struct AldRecord;

// The TMA operation page: gain, mode and supported functions of the
// current TMA subunit. Every operation needs a subunit; without one it
// reports "Protocol Error" and calls nothing. Outcomes go to the window's
// result boxes and the operation's button.
class TmaOperationPage : public DevicePage {
  Q_OBJECT

 public:
  static constexpr int kGetGainButton = 1018;
  static constexpr int kSetGainButton = 1019;
  static constexpr int kGetModeButton = 1016;
  static constexpr int kSetModeButton = 1017;
  static constexpr int kGetFunctionsButton = 1020;
  static constexpr int kGainBox = 1110;
  static constexpr int kFlagsBox = 1111;
  static constexpr int kMinGainBox = 1112;
  static constexpr int kMaxGainBox = 1113;
  static constexpr int kGainResolutionBox = 1114;
  static constexpr int kNormalButton = 1255;
  static constexpr int kBypassButton = 1256;

  TmaOperationPage(const DevicePageParts& parts, PageWindowCalls calls, QWidget* parent = nullptr);

  void GetGain();
  void SetGain();
  void GetMode();
  void SetMode();
  void GetFunctions();

  void Clear() override;
  void Refresh() override;

  QLineEdit* Box(int id) const;
  QPushButton* Button(int id) const;
  QRadioButton* Radio(int id) const;

 private:
  // The current ALD when it has a subunit selected. Without an ALD the
  // warning trace; without a subunit "Protocol Error" on the button.
  AldRecord* RequireSubunit(int button);
  ResultCode ReadFunctions(AldRecord& ald);
  void ShowFunctions(ResultCode result);
  void ShowMode(uint8_t mode);
  void Build();
  QLineEdit* AddBox(int id, const QString& label, int row, int column);
  QPushButton* MakeButton(int id, const QString& caption);
  void Bind(int id, const char* activity, void (TmaOperationPage::*operation)());

  DevicePageParts parts_;
  PageWindowCalls calls_;
};
