#include "ui/AldListPane.h"

// TODO(#13): the list model and view.
AldListPane::AldListPane(QWidget* parent) : QWidget(parent) {}

void AldListPane::SetColumns(uint32_t /*aldListFields*/) {}
void AldListPane::AddRow(size_t /*row*/, const std::string& /*key*/) {}
void AldListPane::FillRow(size_t /*row*/, const BusView::RowContents& /*contents*/) {}
void AldListPane::ClearRows() {}
void AldListPane::SelectSlot(uint8_t /*slot*/) {}
