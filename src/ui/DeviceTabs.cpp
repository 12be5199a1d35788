#include "ui/DeviceTabs.h"

#include <QTabBar>

#include "ui/DevicePageParts.h"
#include "ui/RetOperationPage.h"
#include "ui/TmaOperationPage.h"

DeviceTabs::DeviceTabs(const DevicePageParts& parts, const DeviceWindowHooks& hooks, const PageWindowCalls& calls,
                       QWidget* parent)
    : PageTabs(Width::kNarrow, parent),
      ret_(new RetOperationPage(parts, hooks, calls, this)),
      tma_(new TmaOperationPage(parts, calls, this)) {
  setObjectName(QStringLiteral("ctl%1").arg(kId));
  AddPage(tr("RET"), ret_, tr("RET page"));
  AddPage(tr("TMA"), tma_, tr("TMA page"));
  Bar()->setAccessibleName(tr("Device pages"));
}
