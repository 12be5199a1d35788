#pragma once

#include <QWidget>
#include <cstdint>

// One page of a device window's tab controls (the RET and TMA operation
// pages, the antenna, operator and TMA field pages). Pages keep no data of
// their own: what they read and write lives in the ALD table, and their
// boxes show what was read or typed last.
class DevicePage : public QWidget {
  Q_OBJECT

 public:
  using QWidget::QWidget;

  // Empties the boxes and gives the buttons their black captions back.
  virtual void Clear() {}
  // Reads the page's data of the ALD in the slot (after its link came back).
  virtual void LoadAld(uint8_t slot) { (void)slot; }
  // Reads the page's data of the current ALD again.
  virtual void Refresh() {}
  // Adapts the page to the ALD's kind (AldType).
  virtual void SetDeviceType(uint8_t deviceType) { (void)deviceType; }
  // The page's device commands, off while the ALD is lost.
  virtual void EnableCommands(bool enable) { (void)enable; }
};
