#pragma once

#include <string>

#include "output/table_line.h"
#include "processing/record_evaluation.h"
#include "vari.h"

// Writes the result of every indexed record into the table beside the measurement file
// (".TXT" for the text table, ".csv" for the comma-separated one) and returns its name.
// Opens DataFile once and calls evaluate(k) for k = 1..RecordCount, which must leave
// record k's result in RecordResult. The old table is replaced only by a complete new
// one. Throws InOutError when there is no record, when the table would be the
// measurement file itself, or on any file failure.
std::string ExportTable(Vari& v, TableFormat format, const RecordEvaluator& evaluate, const Progress& progress = {});

std::string TableExtension(TableFormat format);
