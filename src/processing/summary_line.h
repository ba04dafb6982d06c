#pragma once

#include <string>

#include "processing/record_processor.h"

// "dU=50.000 ( 50.000) 0.0%    I=100.00 ( 100.00) EP=2.000" for the record processed last.
std::string SummaryLine(const RecordResultValues& result, const RecordDrawing& drawing);
