#pragma once
// Every record of a line, evaluated: one record pass over each survey with the project's
// processing options, each record placed on the line (positions after the survey's
// offset) and on the ground (the topography's x and z), with its reciprocal error and,
// when asked for, its chargeability.

#include <optional>
#include <string>
#include <vector>

#include "formats/decay_table.h"
#include "formats/survey_row.h"
#include "ip/gates.h"
#include "line/exclusion.h"
#include "line/line_electrodes.h"
#include "line/line_project.h"
#include "processing/record_pass.h"

struct LineEvaluationOptions {
  bool ip = false;         // M of every record; also computed whenever the rules look at M
  bool decay_fit = false;  // each record's decay fitted too (ip/decay_fit.h); implies ip
  std::string gates{};     // the chargeability gates; empty: the project's
  Progress progress{};     // over all the line's records
};

struct LineData {
  int files = 0;
  // The electrodes the line's records use, merged, each on the ground.
  std::vector<LineElectrode> electrodes;
  // Every record of every survey in the line's order. K and ρa come from the straight
  // distances between the electrodes where they stand on the ground.
  std::vector<LineRecord> records;
  // The same records as the exchange formats take them: positions along the line, each
  // the position of its merged electrode; K and ρa as in records.
  std::vector<SurveyRow> rows;
  // The first gate's start to the last gate's end of the first survey, when M was computed.
  std::optional<Gate> chargeability_span;
  // Each survey's gates and pause, in the line's order, when M was computed.
  std::vector<DecayGates> survey_gates;
  // The gates M was computed with, as given (the options' or the project's); empty: the standard ones.
  std::string gates;
  // What the surveys' indexes warn of, in English: "FILE: the file ends inside block 6; …".
  std::vector<std::string> warnings;
};

// Throws LineFileError naming the survey that is missing, changed since it was added, or
// has fewer records than a record the project excludes by hand, and the project when the
// topography does not reach an electrode.
LineData EvaluateLine(const std::string& project_path, const LineProject& project,
                      const LineEvaluationOptions& options = {});

// The electrode of the line a position belongs to (an index into electrodes), or -1.
int LineElectrodeAt(const std::vector<LineElectrode>& electrodes, double position);

// K = 2π / (1/AM - 1/BM - 1/AN + 1/BN) over the straight distances between the points
// (x, z), a remote electrode's terms dropped; NaN when undefined.
double GroundGeometricFactor(const std::optional<GroundPoint>& a, const std::optional<GroundPoint>& b,
                             const std::optional<GroundPoint>& m, const std::optional<GroundPoint>& n);
