#include "output/section_table.h"

#include <algorithm>
#include <cmath>

#include "formats/table_line.h"
#include "output/atomic_text_file.h"

std::string SectionTableHeader(bool decay) {
  return std::string("survey,record,A,B,M,N,x,pseudo_depth,ground_z,rhoa,chargeability,dev,excluded,cause") +
         (decay ? ",tau_ms,c,misfit" : "");
}

namespace {

// A survey's name or a cause as one field: quoted where a comma or a quote would split it.
std::string Field(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

}  // namespace

std::string SectionTableLine(const SectionTable& table, const PseudosectionPoint& point, bool decay) {
  const size_t file = static_cast<size_t>(point.file);
  std::string line = Field(file < table.surveys.size() ? table.surveys[file] : std::string());
  for (int number : {point.record, point.a, point.b, point.m, point.n}) line += "," + std::to_string(number);
  line += "," + TableValue(point.x, 3) + "," + TableValue(point.depth, 3) + ",";
  if (!std::isnan(point.ground_z)) line += TableValue(point.ground_z, 3);
  // The comma table's decimals: Rho and M to three, Dev. to two.
  line +=
      "," + TableValue(point.rhoa, 3) + "," + TableValue(point.chargeability, 3) + "," + TableValue(point.error_pct, 2);
  line += point.left_out.empty() ? ",no," : ",yes," + Field(point.left_out);
  // The decay table's decimals.
  if (decay)
    line += "," + TableValue(point.tau_ms, 3) + "," + TableValue(point.decay_c, 4) + "," +
            TableValue(point.decay_misfit, 3);
  return line;
}

void WriteSectionTable(const std::string& path, const SectionTable& table) {
  AtomicTextFile file(path);
  const bool decay =
      std::ranges::any_of(table.points, [](const PseudosectionPoint& point) { return std::isfinite(point.tau_ms); });
  file.WriteLine(SectionTableHeader(decay));
  for (const PseudosectionPoint& point : table.points) file.WriteLine(SectionTableLine(table, point, decay));
  file.Commit();
}
