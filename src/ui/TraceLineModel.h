#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ui/TraceLineStore.h"
#include "ui/TraceRowFilter.h"

// The rows of the output pane's list: the stored trace lines that pass the
// pane's filter. New lines arrive in batches and each batch is announced
// with one row insertion; a filter change rebuilds the row map once.
class TraceLineModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kLevelIcon, kLevelText, kTime, kClass, kAld, kMessage, kColumnCount };
  // The line counter's value for the row, as an unsigned int.
  static constexpr int kLineNumberRole = Qt::UserRole;

  explicit TraceLineModel(QObject* parent = nullptr);

  // Adds the lines of text that the trace log handed over (separated by
  // CR LF; empty pieces skipped). Returns the number of lines offered.
  size_t AppendPending(std::string_view text);
  // Adds lines read from a saved trace file; a CR before the end of a line
  // is dropped, empty lines are skipped.
  size_t AppendFileLines(const std::vector<std::string_view>& lines);
  void Clear();

  void SetFilter(const TraceRowFilter& filter);
  const TraceRowFilter& Filter() const { return filter_; }

  // Counts every line ever offered, added or dropped; never reset.
  uint32_t LineCounter() const { return lineCounter_; }
  size_t StoredRows() const { return store_.Size(); }
  const TraceLineStore& Store() const { return store_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  void Offer(std::string_view line);
  void Publish(size_t firstNew);
  size_t StoreIndex(int row) const;

  TraceLineStore store_;
  TraceRowFilter filter_;
  // Store indexes of the shown rows; unused while the filter passes all.
  std::vector<uint32_t> shown_;
  int shownCount_ = 0;
  uint32_t lineCounter_ = 0;
  QIcon levelIcons_[TraceRowFilter::kLevelCount];
};
