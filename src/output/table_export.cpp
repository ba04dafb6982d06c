#include "output/table_export.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "measurement/in_out_error.h"
#include "output/atomic_text_file.h"
#include "output/table_name.h"

namespace {

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// A measurement file that already carries the table's extension would be replaced by its table.
void RefuseToReplaceMeasurementFile(const std::string& data_file_name, const std::string& table_name) {
  if (SameNameIgnoringCase(data_file_name, table_name) || SameFile(data_file_name, table_name))
    throw InOutError::Invalid("The table would replace the measurement file " + data_file_name);
}

}  // namespace

std::string TableExtension(TableFormat format) { return format == TableFormat::Csv ? ".csv" : ".TXT"; }

std::string ExportTable(Vari& v, TableFormat format, const RecordEvaluator& evaluate, const Progress& progress) {
  if (v.RecordCount < 1) throw InOutError::Invalid("No records to export");
  const std::string table_name = TableFileName(v.DataFileName, TableExtension(format));
  RefuseToReplaceMeasurementFile(v.DataFileName, table_name);

  DataFileSession session(v.DataFile, v.DataFileName);
  AtomicTextFile table(table_name);
  table.WriteLine(TableHeader(format));
  for (int k = 1; k <= v.RecordCount; ++k) {
    evaluate(k);
    table.WriteLine(TableLine(format, k, v.RecordIndex[k], v, v.RecordResult));
    if (progress) progress(k, v.RecordCount);
  }
  table.Commit();
  return table_name;
}
