#include "formats/res2dinv_file.h"

#include <algorithm>

#include "formats/plain_number.h"

namespace {

// The smallest gap between the electrodes the rows use; 1 when there is none.
double UnitSpacing(const std::vector<const SurveyRow*>& rows) {
  const std::vector<double> positions = PlacedPositions(rows);
  double spacing = 0;
  for (size_t i = 1; i < positions.size(); ++i) {
    double gap = positions[i] - positions[i - 1];
    if (gap > 0 && (spacing == 0 || gap < spacing)) spacing = gap;
  }
  return spacing > 0 ? spacing : 1;
}

// One dipole as the format writes it: its real electrodes, the first one the pole when
// the other is remote. A remote first electrode turns the sign of what it measures.
struct Dipole {
  std::vector<double> electrodes;
  double sign = 1;
};

Dipole DipoleOf(const std::optional<double>& first, const std::optional<double>& second) {
  Dipole dipole;
  if (first) dipole.electrodes.push_back(*first);
  if (second) dipole.electrodes.push_back(*second);
  if (!first && second) dipole.sign = -1;
  return dipole;
}

}  // namespace

std::string Res2dinvRow(const SurveyRow& row, bool decay) {
  const Dipole current = DipoleOf(row.positions.a, row.positions.b);
  const Dipole potential = DipoleOf(row.positions.m, row.positions.n);
  std::string line = std::to_string(current.electrodes.size() + potential.electrodes.size());
  for (const Dipole* dipole : {&current, &potential})
    for (double x : dipole->electrodes) line += " " + PositionNumber(x) + " 0.0";
  line += " " + PlainNumber(current.sign * potential.sign * row.resistivity.r);
  if (row.ip && decay) {
    for (double m : row.ip->gates) line += " " + PlainNumber(m);
    return line;
  }
  return row.ip ? line + " " + PlainNumber(row.ip->m) : line;
}

FormatLines Res2dinvLines(const std::vector<SurveyRow>& rows, const std::string& title,
                          const std::optional<Gate>& chargeability_span,
                          const std::vector<ElectrodeElevation>* elevations, const DecayGates* decay) {
  FormatLines file;
  const std::vector<const SurveyRow*> carried = CarriedRows(rows, file.left_out, decay != nullptr);
  file.lines = {title.empty() ? std::string("survey") : title,
                PlainNumber(UnitSpacing(carried)),
                "11",
                "0",
                "Type of measurement (0=app. resistivity,1=resistance)",
                "1",
                std::to_string(carried.size()),
                "1"};
  // The IP block: its flag, the quantity, its unit, and the delay and integration time in seconds.
  if (decay && !decay->gates.empty()) {
    std::string windows = std::to_string(decay->gates.size()) + " " + PlainNumber(decay->gates.front().t1_ms / 1000);
    for (const Gate& gate : decay->gates) windows += " " + PlainNumber(gate.Width() / 1000);
    windows += " " + PlainNumber(decay->pause_ms / 1000) + " " + PlainNumber(decay->pause_ms / 1000);
    file.lines.insert(file.lines.end(), {"1", "Chargeability", "mV/V", windows});
  } else if (chargeability_span) {
    file.lines.insert(file.lines.end(), {"1", "Chargeability", "mV/V",
                                         PlainNumber(chargeability_span->t1_ms / 1000) + "," +
                                             PlainNumber(chargeability_span->Width() / 1000)});
  } else {
    file.lines.push_back("0");
  }
  for (const SurveyRow* row : carried)
    file.lines.push_back(row->text.empty() ? Res2dinvRow(*row, decay != nullptr) : row->text);
  // The rows keep z = 0 so that the readers take the elevations from this block alone;
  // its x are the rows' own, which is how they match an electrode to its point.
  if (elevations) {
    const std::vector<double> positions = PlacedPositions(carried);
    file.lines.push_back("2");
    file.lines.push_back(std::to_string(positions.size()));
    for (double x : positions) file.lines.push_back(PositionNumber(x) + " " + PlainNumber(ElevationAt(*elevations, x)));
    file.lines.push_back("1");
  }
  for (int i = 0; i < 4; ++i) file.lines.push_back("0");
  file.written = static_cast<int>(carried.size());
  return file;
}
