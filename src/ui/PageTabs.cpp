#include "ui/PageTabs.h"

#include <QHBoxLayout>
#include <QTabBar>
#include <QVBoxLayout>

#include "ui/DevicePage.h"

PageTabs::PageTabs(Width width, QWidget* parent) : QWidget(parent), width_(width), bar_(new QTabBar(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  bar_->setExpanding(false);
  bar_->setDrawBase(true);
  // Every tab stays in view: the control is never narrower than its tabs.
  bar_->setUsesScrollButtons(false);
  layout->addWidget(bar_);
  auto* frame = new QWidget(this);
  frame->setObjectName(QStringLiteral("pageArea"));
  row_ = new QHBoxLayout(frame);
  row_->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(frame, 1);
  connect(bar_, &QTabBar::tabBarClicked, this, [this](int index) {
    if (index >= 0) SwitchTo(index);
  });
  // The arrow keys on the focused tabs change the current tab alone.
  connect(bar_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && index != current_) SwitchTo(index);
  });
}

DevicePage* PageTabs::Page(int index) const {
  return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)] : nullptr;
}

// The second page of a narrow control would lie outside what it shows.
void PageTabs::AddPage(const QString& tab, DevicePage* page, const QString& spokenName) {
  int index = PageCount();
  bar_->addTab(tab);
  bar_->setAccessibleTabName(index, spokenName);
  pages_.push_back(page);
  row_->addWidget(page, 1);
  bool shown = index == 0 || (index == 1 && width_ == Width::kWide);
  page->setVisible(shown);
}

// Everything below this control comes after it in the focus chain, in the
// order it was made.
QWidget* PageTabs::LastFocusStop() const {
  QWidget* last = const_cast<PageTabs*>(this);
  for (QWidget* w = nextInFocusChain(); w != this && isAncestorOf(w); w = w->nextInFocusChain()) last = w;
  return last;
}

void PageTabs::SwitchTo(int index) {
  if (index < 0 || index >= PageCount()) return;
  bar_->setCurrentIndex(index);
  if (index == current_) return;
  Page(current_)->hide();
  current_ = index;
  Page(index)->show();
  Page(index)->setFocus();
}

void PageTabs::ShowOnly(int index) {
  if (index < 0 || index >= PageCount()) return;
  for (int i = 0; i < PageCount(); ++i) Page(i)->setVisible(i == index);
  current_ = index;
  bar_->setCurrentIndex(index);
}

void PageTabs::ClearAll() {
  for (DevicePage* page : pages_) page->Clear();
}

void PageTabs::LoadAll(uint8_t slot) {
  for (DevicePage* page : pages_) page->LoadAld(slot);
}

void PageTabs::RefreshAll() {
  for (DevicePage* page : pages_) page->Refresh();
}

void PageTabs::SetDeviceTypeAll(uint8_t deviceType) {
  for (DevicePage* page : pages_) page->SetDeviceType(deviceType);
}
