#include "ui/FieldTabs.h"

#include "ui/DevicePage.h"
#include "ui/FieldPageFactory.h"

FieldTabs::FieldTabs(const DevicePageParts& parts, QWidget* parent) : PageTabs(Width::kWide, parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kId));
  AddPage(tr("Antenna"), MakeFieldPage(kAntennaPage, parts, this));
  AddPage(tr("Operator"), MakeFieldPage(kOperatorPage, parts, this));
  AddPage(tr("TMA"), MakeFieldPage(kTmaPage, parts, this));
}
