#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "bus/BusView.h"

class AldTable;
class TraceLog;

// The properties pane: the device window selector, its toolbar and a
// property grid with one group per slot.
class PropertiesPane : public QWidget {
  Q_OBJECT

 public:
  PropertiesPane(AldTable& table, TraceLog& log, QWidget* parent = nullptr);

  void ShowAld(uint8_t slot, const BusView::AldProperties& properties);
  void SetStatus(uint8_t slot, const std::string& status);
  void HideAld(uint8_t slot);
  // The selector lists the windows of these slots, titled "ALD #n".
  void SetSelectorEntries(const std::vector<uint8_t>& slots);
  // Selects the selector entry of the slot's window without side effects.
  void SelectWindowEntry(uint8_t slot);

 signals:
  // The user chose this slot in the selector or clicked into its group.
  void slotChosen(uint8_t slot);
  // "Refresh ALD" with an ALD current: refresh the active window.
  void refreshAldRequested();
};
