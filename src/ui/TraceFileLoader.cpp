#include "ui/TraceFileLoader.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "ui/TraceLineModel.h"

TraceFileLoader::TraceFileLoader(TraceLineModel& model, QObject* parent) : QObject(parent), model_(model) {
  turn_.setInterval(0);
  connect(&turn_, &QTimer::timeout, this, &TraceFileLoader::ReadPiece);
}

TraceFileLoader::~TraceFileLoader() {
  Cancel();
}

void TraceFileLoader::Start(FILE* file, uint64_t limit) {
  Cancel();
  file_ = file;
  left_ = limit;
  turn_.start();
}

void TraceFileLoader::Cancel() {
  turn_.stop();
  if (file_) std::fclose(file_);
  file_ = nullptr;
  std::string().swap(text_);
}

void TraceFileLoader::ReadPiece() {
  size_t kept = text_.size();
  size_t want = static_cast<size_t>(std::min<uint64_t>(kPieceSize, left_));
  text_.resize(kept + want);
  size_t got = std::fread(text_.data() + kept, 1, want, file_);
  text_.resize(kept + got);
  left_ -= got;
  bool atEnd = got < want || left_ == 0;
  AddCompleteLines(atEnd);
  if (!atEnd) return;
  Cancel();
  emit Finished();
}

// Hands every complete line of the text read so far to the model in one
// batch and keeps the unfinished tail for the next piece.
void TraceFileLoader::AddCompleteLines(bool atEnd) {
  std::vector<std::string_view> lines;
  std::string_view rest(text_);
  for (size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
    lines.push_back(rest.substr(0, end));
    rest.remove_prefix(end + 1);
  }
  if (!rest.empty() && (atEnd || rest.size() > kMaxLine)) {
    lines.push_back(rest);
    rest = {};
  }
  model_.AppendFileLines(lines);
  text_.erase(0, text_.size() - rest.size());
}
