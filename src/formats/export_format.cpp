#include "formats/export_format.h"

namespace {

struct FormatEntry {
  ExportFormat format;
  const char* name;
  const char* extension;
};

constexpr FormatEntry Formats[] = {
    {ExportFormat::Text, "txt", ".TXT"},
    {ExportFormat::Csv, "csv", ".csv"},
    {ExportFormat::Ohm, "ohm", ".ohm"},
    {ExportFormat::Res2dinv, "res2dinv", ".dat"},
};

const FormatEntry& EntryOf(ExportFormat format) {
  for (const FormatEntry& entry : Formats)
    if (entry.format == format) return entry;
  return Formats[0];
}

}  // namespace

std::optional<ExportFormat> ExportFormatNamed(const std::string& name) {
  for (const FormatEntry& entry : Formats)
    if (name == entry.name) return entry.format;
  return std::nullopt;
}

std::string ExportFormatName(ExportFormat format) { return EntryOf(format).name; }
std::string ExportExtension(ExportFormat format) { return EntryOf(format).extension; }
