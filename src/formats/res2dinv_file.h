#pragma once

#include <optional>
#include <string>
#include <vector>

#include "formats/decay_table.h"
#include "formats/format_lines.h"
#include "formats/survey_row.h"
#include "ip/gates.h"

// The general-array input file (type 11) of Res2DInv and the programs that read it
// (".dat"), with transfer resistances and true x positions:
//   title, unit electrode spacing, 11, 0, the measurement-type line, 1 (resistances),
//   the record count, 1 (true positions), 0 (no IP) or the IP block (1, "Chargeability",
//   "mV/V", "delay,integration time" in seconds),
//   one row per record: "4 xA zA xB zB xM zM xN zN R" (and M in mV/V with IP), with a remote electrode left out
//   as the format foresees ("3 xC zC xM zM xN zN R" for pole-dipole, "2 xC zC xP zP R"
//   for pole-pole; a remote A or M makes B or N the pole and turns the sign of R),
//   then, with elevations (sorted by x, holding every x the rows use), the topography:
//   2 (true horizontal x), the count of electrodes, "x z" for each, 1 (the first
//   electrode's number in that list); then four lines 0.
// Fixed-point numbers only, single blanks. Records with a NaN value or an undefined K
// are left out.
// With decay, the IP block gives every gate (as pyGIMLi's Res2DInv import reads several
// IP windows): its third line "N delay width_1 .. width_N on-time off-time" in seconds,
// and each row ends with M_1..M_N instead of M; a row whose decay has a value that is not
// a number is left out.
FormatLines Res2dinvLines(const std::vector<SurveyRow>& rows, const std::string& title,
                          const std::optional<Gate>& chargeability_span = std::nullopt,
                          const std::vector<ElectrodeElevation>* elevations = nullptr,
                          const DecayGates* decay = nullptr);

// The line of one row; with decay, every gate's M_i instead of M.
std::string Res2dinvRow(const SurveyRow& row, bool decay = false);
