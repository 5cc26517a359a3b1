#pragma once

// The command-line tool reads and writes CSV through the positions reader's functions.
#include "positions/Csv.h"

namespace pelagon::cli {

using positions::csvField;
using positions::csvLine;
using positions::CsvRecord;
using positions::parseCsv;

}  // namespace pelagon::cli
