#include "ui/FieldTabs.h"

#include <QTabBar>

#include "ui/DevicePage.h"
#include "ui/FieldPageFactory.h"

FieldTabs::FieldTabs(const DevicePageParts& parts, QWidget* parent) : PageTabs(Width::kWide, parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kId));
  AddPage(tr("Antenna"), MakeFieldPage(kAntennaPage, parts, this), tr("Antenna fields"));
  AddPage(tr("Operator"), MakeFieldPage(kOperatorPage, parts, this), tr("Operator fields"));
  AddPage(tr("TMA"), MakeFieldPage(kTmaPage, parts, this), tr("TMA fields"));
  Bar()->setAccessibleName(tr("Field pages"));
}
