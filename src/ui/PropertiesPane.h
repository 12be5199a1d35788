#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "bus/BusView.h"

class AldTable;
class PropertyGridModel;
class QAction;
class QComboBox;
class QLabel;
class QModelIndex;
class QToolBar;
class QTreeView;
class TraceLog;

// The properties pane: the device window selector, its toolbar and a
// property grid with one group per slot.
class PropertiesPane : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kExpandCollapseCommand = 507;
  static constexpr int kPropertiesCommand = 508;
  static constexpr int kRefreshAldCommand = 509;
  static constexpr uint8_t kNoClick = 0xFF;

  PropertiesPane(AldTable& table, TraceLog& log, QWidget* parent = nullptr);

  void ShowAld(uint8_t slot, const BusView::AldProperties& properties);
  void SetStatus(uint8_t slot, const std::string& status);
  void HideAld(uint8_t slot);
  // The selector lists the windows of these slots, titled "ALD #n".
  void SetSelectorEntries(const std::vector<uint8_t>& windowSlots);
  // Selects the selector entry of the slot's window without side effects.
  void SelectWindowEntry(uint8_t slot);

  QComboBox* Selector() const { return selector_; }
  QToolBar* ToolBar() const { return toolBar_; }
  QTreeView* Grid() const { return grid_; }
  PropertyGridModel* GridModel() const { return model_; }
  QLabel* DescriptionArea() const { return description_; }
  QAction* Command(int id) const;

 signals:
  // The user chose this slot in the selector or clicked into its group.
  void slotChosen(uint8_t slot);
  // "Refresh ALD" with an ALD current: refresh the active window.
  void refreshAldRequested();

 private:
  QAction* AddCommand(int id, const QIcon& icon, const QString& tip);
  void BuildToolBar();
  void BuildGrid();
  void OnSelectorActivated(int entry);
  void OnGridClicked(const QModelIndex& index);
  void OnExpandCollapse();
  void OnRefreshAld();
  void ShowDescription(const QModelIndex& current);
  int EntryOf(uint8_t slot) const;

  AldTable& table_;
  TraceLog& log_;
  PropertyGridModel* model_;
  QComboBox* selector_;
  QToolBar* toolBar_;
  QTreeView* grid_;
  QLabel* description_;
  QAction* expandCollapse_ = nullptr;
  // 507 expands every group while this is set and collapses them while it
  // is clear; its button shows pressed while it is clear.
  bool expandNext_ = true;
  // The slot of the last click into the grid, so a second click into the
  // same group does not choose it again.
  uint8_t lastClickSlot_ = kNoClick;
};
