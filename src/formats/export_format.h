#pragma once

#include <optional>
#include <string>

// The files an export writes beside the survey.
enum class ExportFormat {
  Text,      // the field's own table, ".TXT"
  Csv,       // comma-separated with apparent resistivity, ".csv"
  Ohm,       // the unified data format of pyGIMLi and BERT, ".ohm"
  Res2dinv,  // the general-array input of Res2DInv and the programs that read it, ".dat"
};

std::optional<ExportFormat> ExportFormatNamed(const std::string& name);  // txt, csv, ohm, res2dinv
std::string ExportFormatName(ExportFormat format);
std::string ExportExtension(ExportFormat format);
