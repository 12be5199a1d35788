#include "ui/PropertiesPane.h"

// TODO(#13): the selector, toolbar and property grid.
PropertiesPane::PropertiesPane(AldTable& /*table*/, TraceLog& /*log*/, QWidget* parent) : QWidget(parent) {}

void PropertiesPane::ShowAld(uint8_t /*slot*/, const BusView::AldProperties& /*properties*/) {}
void PropertiesPane::SetStatus(uint8_t /*slot*/, const std::string& /*status*/) {}
void PropertiesPane::HideAld(uint8_t /*slot*/) {}
void PropertiesPane::SetSelectorEntries(const std::vector<uint8_t>& /*slots*/) {}
void PropertiesPane::SelectWindowEntry(uint8_t /*slot*/) {}
