#pragma once

#include <vector>

#include "formats/decay_table.h"
#include "formats/format_lines.h"
#include "formats/survey_row.h"

// The unified data format of pyGIMLi and BERT (".ohm"): the count and positions
// ("# x y z") of the electrodes used, sorted by position and numbered from 1 in that
// order; the count of records and one line per record ("# a b m n r rhoa k err", and ip in mV/V when the rows carry it)
// with 0 for a remote electrode and the stacking error as a fraction; then 0, no topography. Records with a NaN value
// or an undefined K are left out. With elevations (sorted by x, holding every x the rows use), the electrodes
// are "# x z", each with its elevation, as pyGIMLi reads a line on the ground.
// With decay, the rows carry every gate too: ip1..ipN and iperr1..iperrN (mV/V), the gate
// times TM0..TMN (GateTimeFields) on every row, and the fit's tau (ms), c and misfit (χ²
// per gate); a row whose decay has a value that is not a number is left out.
FormatLines OhmLines(const std::vector<SurveyRow>& rows, const std::vector<ElectrodeElevation>* elevations = nullptr,
                     const DecayGates* decay = nullptr);

// "r rhoa k" of a row, the part of its line that depends on the row alone.
std::string OhmRowValues(const SurveyRow& row);
