#pragma once

class DevicePage;
class QWidget;
struct DevicePageParts;

// The field page of the wide tab control at this index: 0 antenna,
// 1 operator, 2 TMA.
DevicePage* MakeFieldPage(int which, const DevicePageParts& parts, QWidget* parent);
