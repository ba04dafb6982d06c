#pragma once

#include <cmath>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/file_check.h"
#include "analysis/reciprocal_pairs.h"
#include "measurement/survey.h"

// What a pseudosection draws of one record.
struct PseudosectionPoint {
  int record = 0;
  int a = 0, b = 0, m = 0, n = 0;  // electrode numbers, 0 remote
  double x = 0;                    // mean position of the electrodes in place, m
  double depth = 0;                // median depth of investigation, m
  double rhoa = 0;                 // apparent resistivity, Ω·m (NaN without K or a result)
  double error_pct = 0;            // stacking error, percent, as computed
  double plotted_error_pct = 0;    // the same raised to 0.1, as the file check plots errors: its colour
  ErrorClass error_class = ErrorClass::Black;
  double chargeability = 0;  // M, mV/V (NaN unless the check computed it)
  int file = 0;              // on a line, the survey's place in it (from 0)
  std::string left_out{};    // on a line, why the record is left out ("by hand", ...); empty: kept
  double ground_z = NAN;     // on a line, the ground's elevation under x, m (NaN: unknown)
  // The decay's Cole-Cole fit, when the check or the line computed it (NaN: none): its time
  // constant τ in ms, its exponent c and its χ² per gate.
  double tau_ms = NAN, decay_c = NAN, decay_misfit = NAN;
};

// The points of the checked records of the open survey, in record order; records
// without a place (every electrode remote, or no depth) are left out.
std::vector<PseudosectionPoint> PseudosectionOf(const Survey& v, const std::vector<CheckPoint>& checked);

// Every record of the survey in its place, without values: the view before a check.
std::vector<PseudosectionPoint> PlacesOf(const Survey& v);

// Sets every point's ground_z from the ground profile, (x, z) with x increasing: linear
// between its points, NaN beyond its ends.
void PlaceOnGround(std::vector<PseudosectionPoint>& points, std::span<const std::pair<double, double>> ground);

// The checked records as the reciprocal analysis takes them.
std::vector<MeasuredRecord> MeasuredRecordsOf(const Survey& v, const std::vector<CheckPoint>& checked);
