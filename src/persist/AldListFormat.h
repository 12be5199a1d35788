#pragma once

#include <string>

class AldTable;

// The two forms of the saved ALD list, built from the records alone (nothing
// is asked of the devices). Both cover every ALD in the table in slot order
// and every subunit of each; lines end in "\n".
//
// Comma-separated: a header line, then one row per ALD in which every value
// is followed by a comma. An ALD with several subunits is preceded by a
// "SUBUNIT n" line per subunit, a TMA by the TMA lines of the report.
std::string AldListCsvText(const AldTable& table);
// Text report: one block of "NAME , value" lines per ALD between lines of #.
std::string AldListReportText(const AldTable& table);
