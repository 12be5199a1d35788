#include "ui/FieldPageFactory.h"

#include "ui/AntennaFieldsPage.h"
#include "ui/OperatorFieldsPage.h"
#include "ui/TmaFieldsPage.h"

DevicePage* MakeFieldPage(int which, const DevicePageParts& parts, QWidget* parent) {
  switch (which) {
    case 1: return new OperatorFieldsPage(parts, parent);
    case 2: return new TmaFieldsPage(parts, parent);
    default: return new AntennaFieldsPage(parts, parent);
  }
}
