#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class DevicePage;
class QHBoxLayout;
class QTabBar;

// A row of fixed tabs over up to three device pages. The first page shows
// at start; in a wide control the second one stands beside it, so that two
// pages can be worked on at once. A click on another tab hides only the
// page recorded as current and shows the clicked one: a page standing
// beside it stays until its own tab has been current.
class PageTabs : public QWidget {
  Q_OBJECT

 public:
  enum class Width { kNarrow, kWide };

  PageTabs(Width width, QWidget* parent = nullptr);

  int PageCount() const { return static_cast<int>(pages_.size()); }
  int CurrentPage() const { return current_; }
  DevicePage* Page(int index) const;
  QTabBar* Bar() const { return bar_; }

  // What a click on the tab does.
  void SwitchTo(int index);
  // Shows this page alone.
  void ShowOnly(int index);

  void ClearAll();
  void LoadAll(uint8_t slot);
  void RefreshAll();
  void SetDeviceTypeAll(uint8_t deviceType);

  // The last control of the pages that Tab stops at, to go on from.
  QWidget* LastFocusStop() const;

 protected:
  // Pages are added in tab order, before the control is shown. The
  // spoken name tells the tab from others of the same caption in the
  // window.
  void AddPage(const QString& tab, DevicePage* page, const QString& spokenName);

 private:
  Width width_;
  QTabBar* bar_;
  QHBoxLayout* row_;
  std::vector<DevicePage*> pages_;
  int current_ = 0;
};
