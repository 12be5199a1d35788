#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the main window shows of the bus: the status bar text, the ALD list
// and the properties pane. The bus decides what is shown and when; the
// implementation only displays it. Every call comes from the user-interface
// thread.
class BusView {
 public:
  // The four texts of one ALD's group in the properties pane.
  struct AldProperties {
    std::string UniqueId;
    std::string Status;
    std::string Type;
    std::string Version;
  };

  // The columns of one list row; the view shows those its field selection
  // asks for.
  struct RowContents {
    int Icon = 0;  // 0 other, 1 connected, 2 calibrating, 3 disconnected
    std::string Key;
    std::string UniqueId;
    std::string Tilt;
  };

  virtual ~BusView() = default;

  // Pane 0 of the status bar.
  virtual void SetStatusText(const std::string& text) = 0;

  // A row with this key was appended at position row; RowFilled follows
  // with its contents.
  virtual void RowAdded(size_t row, const std::string& key) = 0;
  virtual void RowFilled(size_t row, const RowContents& contents) = 0;
  // All rows are gone; the list's selection and count start afresh.
  virtual void RowsCleared() = 0;
  virtual void RefreshListToolbar() = 0;

  virtual void ShowAldProperties(uint8_t slot, const AldProperties& properties) = 0;
  virtual void SetAldStatus(uint8_t slot, const std::string& status) = 0;
  // Hides the slot's group and empties its values. A failure may be thrown;
  // the bus reset catches and ignores it.
  virtual void HideAldProperties(uint8_t slot) = 0;
  // Selects the properties-pane selector entry of the slot's device window.
  virtual void SelectAldEntry(uint8_t slot) = 0;

  // New device windows exist: hand their documents to the list rows and to
  // the selector (map rows to slots through AldListModel), then bring the
  // ALD list pane to the front.
  virtual void RefreshDocumentLinks() = 0;
  virtual void ActivateAldList() = 0;
};
