#pragma once

#include <string>
#include <string_view>

#include "processing/record_processor.h"

// "dU=50.000 ( 50.000) 0.0%    I=100.00 ( 100.00) EP=2.000" for the record processed
// last, with the given decimal separator.
std::string SummaryLine(const RecordResultValues& result, const RecordDrawing& drawing,
                        std::string_view decimal_separator = ".");
