#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/BusView.h"
#include "serial/ECommError.h"

class AisgLayer7;
class AldTable;
class DeviceWindows;
class TraceLog;
struct AldRecord;

// The rows of the ALD list. An ALD with fewer than two subunits has one row
// keyed by its slot ("4"); one with more has a row per subunit ("4.1",
// "4.2"). So row positions and slots differ as soon as such an ALD is
// listed: everything that goes from a row to an ALD or back goes through
// the slot and subunit kept here, never through the row position.
//
// User-interface thread only.
class AldListModel {
 public:
  static constexpr uint8_t kAllSubunits = 0xFF;

  struct Row {
    uint8_t Slot;
    uint8_t Subunit;  // 0 for the one row of an ALD without subunit rows
  };

  AldListModel(AisgLayer7& layer7, BusView& view, DeviceWindows& windows);

  size_t RowCount() const { return rows_.size(); }
  Row RowAt(size_t row) const { return rows_.at(row); }
  std::string RowKey(size_t row) const;
  // Position of the row of (slot, subunit); -1 when there is none.
  int FindRow(uint8_t slot, uint8_t subunit) const;
  // Position of the slot's first row; -1 when the slot is not listed.
  int FirstRowOf(uint8_t slot) const;
  // Number of ALDs with rows (not the number of rows).
  unsigned ListedAldCount() const;

  // Lists the ALD in the slot, shows its properties and opens its window.
  void AddAldRow(uint8_t slot);
  // Fills the rows of an ALD again: all of them with kAllSubunits, else the
  // row of that subunit (the one row of an ALD without subunit rows).
  void UpdateAldRows(uint8_t slot, uint8_t subunit);
  // Shows every row of the ALD again from what the table holds, without
  // asking the ALD anything (the poll's report of a lost ALD).
  void ShowAldRows(uint8_t slot);
  void Clear();

  BusView::AldProperties PropertiesOf(uint8_t slot) const;
  // Row icons: 1 connected and 0 otherwise when adding; 2 calibrating,
  // 3 disconnected, 1 connected and 0 otherwise when updating.
  static int RowIcon(uint8_t state, bool adding);
  static std::string TiltText(const AldRecord& ald, uint8_t subunit);

 private:
  void LearnSubunitCount(uint8_t slot);
  void AppendRows(uint8_t slot);
  void AppendRow(uint8_t slot, uint8_t subunit);
  void FillRow(size_t row, bool adding);
  void ReadRowAlarms(const Row& row);
  void ShowRow(size_t row, bool adding);
  // Runs the bus traffic f unless an earlier step of the same ALD met a port
  // failure, which is kept to be raised when the ALD is listed.
  template <class F>
  void Attempt(F&& f);

  AisgLayer7& layer7_;
  AldTable& table_;
  TraceLog& log_;
  BusView& view_;
  DeviceWindows& windows_;
  std::vector<Row> rows_;
  std::optional<ECommError> failure_;
};
