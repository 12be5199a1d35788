#include "ui/FieldPageFactory.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/DevicePage.h"
#include "ui/DevicePageParts.h"

// TODO(#14): the antenna, operator and TMA field pages in place of these
// empty ones.
DevicePage* MakeFieldPage(int which, const DevicePageParts& parts, QWidget* parent) {
  (void)parts;
  static const char* const kNames[] = {"antennaFieldsPage", "operatorFieldsPage", "tmaFieldsPage"};
  auto* page = new DevicePage(parent);
  page->setObjectName(QString::fromLatin1(kNames[which >= 0 && which < 3 ? which : 0]));
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(new QLabel(page));
  return page;
}
