#include "ui/TraceLineModel.h"

#include "ui/TraceLevelIcons.h"

namespace {

// Long hex dumps make unreadable tooltips; the trace file has them whole.
constexpr qsizetype kMaxToolTip = 4000;

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TraceLineModel::TraceLineModel(QObject* parent) : QAbstractTableModel(parent) {
  for (int level = 0; level < TraceRowFilter::kLevelCount; ++level) levelIcons_[level] = TraceLevelIcon(level);
}

void TraceLineModel::Offer(std::string_view line) {
  ++lineCounter_;
  store_.Add(line, lineCounter_);
}

size_t TraceLineModel::AppendPending(std::string_view text) {
  size_t firstNew = store_.Size();
  size_t offered = 0;
  while (!text.empty()) {
    size_t end = text.find("\r\n");
    std::string_view line = text.substr(0, end);
    if (!line.empty()) {
      Offer(line);
      ++offered;
    }
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 2);
  }
  Publish(firstNew);
  return offered;
}

size_t TraceLineModel::AppendFileLines(const std::vector<std::string_view>& lines) {
  size_t firstNew = store_.Size();
  size_t offered = 0;
  for (std::string_view line : lines) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    Offer(line);
    ++offered;
  }
  Publish(firstNew);
  return offered;
}

// One insertion for the whole batch, so a view lays itself out once per
// tick however many lines came.
void TraceLineModel::Publish(size_t firstNew) {
  if (filter_.PassesAll()) {
    int count = static_cast<int>(store_.Size() - firstNew);
    if (count == 0) return;
    beginInsertRows(QModelIndex(), shownCount_, shownCount_ + count - 1);
    shownCount_ += count;
    endInsertRows();
    return;
  }
  std::vector<uint32_t> passing;
  for (size_t i = firstNew; i < store_.Size(); ++i) {
    if (store_.Passes(i, filter_)) passing.push_back(static_cast<uint32_t>(i));
  }
  if (passing.empty()) return;
  beginInsertRows(QModelIndex(), shownCount_, shownCount_ + static_cast<int>(passing.size()) - 1);
  shown_.insert(shown_.end(), passing.begin(), passing.end());
  shownCount_ = static_cast<int>(shown_.size());
  endInsertRows();
}

void TraceLineModel::Clear() {
  beginResetModel();
  store_.Clear();
  std::vector<uint32_t>().swap(shown_);
  shownCount_ = 0;
  endResetModel();
}

void TraceLineModel::SetFilter(const TraceRowFilter& filter) {
  if (filter == filter_) return;
  beginResetModel();
  filter_ = filter;
  std::vector<uint32_t>().swap(shown_);
  if (filter_.PassesAll()) {
    shownCount_ = static_cast<int>(store_.Size());
  } else {
    for (size_t i = 0; i < store_.Size(); ++i) {
      if (store_.Passes(i, filter_)) shown_.push_back(static_cast<uint32_t>(i));
    }
    shownCount_ = static_cast<int>(shown_.size());
  }
  endResetModel();
}

size_t TraceLineModel::StoreIndex(int row) const {
  return filter_.PassesAll() ? static_cast<size_t>(row) : shown_[static_cast<size_t>(row)];
}

int TraceLineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : shownCount_;
}

int TraceLineModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant TraceLineModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= shownCount_ || index.column() >= kColumnCount) return {};
  size_t at = StoreIndex(index.row());
  const TraceLineStore::Row& row = store_.At(at);
  if (role == kLineNumberRole) return row.Number;
  if (index.column() == kLevelIcon) {
    return role == Qt::DecorationRole ? QVariant(levelIcons_[row.Level]) : QVariant();
  }
  if (role != Qt::DisplayRole && !(role == Qt::ToolTipRole && index.column() == kMessage)) return {};
  auto field = static_cast<TraceLineStore::Field>(index.column() - kLevelText);
  QString text = ToQString(store_.FieldText(at, field));
  if (role == Qt::ToolTipRole && text.size() > kMaxToolTip) text = text.left(kMaxToolTip) + QStringLiteral("...");
  return text;
}

QVariant TraceLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeadings[kColumnCount] = {"Lev", "Str", "Timestamp", "Class", "ALD", "Message"};
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount) return {};
  return QString::fromLatin1(kHeadings[section]);
}

// Rows show; they are never selected or edited.
Qt::ItemFlags TraceLineModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemNeverHasChildren : Qt::NoItemFlags;
}
