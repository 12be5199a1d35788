#pragma once

#include <QColor>
#include <QLineEdit>

// An edit box with its own text and background colours, black on white at
// first. Locked, it is read-only and shows its background colour; unlocked,
// it is editable on white. The colours are set for every palette group, so
// the box reads the same in light and dark application styles and whether
// or not its window is the active one.
class ColorEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit ColorEdit(QWidget* parent = nullptr);

  // Each setter repaints the box at once: the operations that change it go
  // on to block in a bus exchange.
  void SetTextColor(const QColor& color);
  void SetBackColor(const QColor& color);
  void SetLocked(bool locked);

  QColor TextColor() const { return text_; }
  QColor BackColor() const { return back_; }
  bool IsLocked() const { return isReadOnly(); }
  // The background shown now: the stored colour while locked, white otherwise.
  QColor ShownBackColor() const;

 private:
  void ApplyColors();

  QColor text_{Qt::black};
  QColor back_{Qt::white};
};
