#include "ui/OutputPane.h"

// TODO(#13): the trace view, its filters and commands.
OutputPane::OutputPane(TraceLog& /*log*/, Settings& /*settings*/, QWidget* parent) : QWidget(parent) {}

void OutputPane::Drain() {}
