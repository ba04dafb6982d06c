#pragma once
// One evaluated record as the exchange formats write it.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry/apparent_resistivity.h"
#include "geometry/quadrupole.h"
#include "measurement/survey.h"
#include "processing/record_evaluation.h"

// The chargeability an export carries with a row, mV/V.
struct RowChargeability {
  double m = 0;
  double m_interval = 0;      // its ±: the half-width of the 95 % interval
  std::vector<double> gates;  // M_i of each gate
  // With the decay: each gate's ± and the gates' fit (ip/decay_fit.h).
  std::vector<double> gate_intervals{};
  std::shared_ptr<const DecayFit> fit{};

  // Every value of the decay is a number: the gates, their ±, τ, c and the misfit.
  bool DecayComplete() const;
};

struct SurveyRow {
  int k = 0;
  RecordIndexEntry entry{};
  RecordResultValues result;
  double spread_pct = 0;  // the data error in percent: the stacking error whatever the sign of dU
  Quadrupole positions;
  Resistivity resistivity{};
  std::optional<RowChargeability> ip;  // when the export carries chargeability
  // The row's text in the format being written, made while the pass still reads, so
  // that the formatting overlaps the reading; empty until then.
  std::string text;

  // Every value a resistivity format carries is a number (M too, when carried), and K is defined.
  bool Complete() const;
};

// Record k of the survey, evaluated.
SurveyRow RowOf(const Survey& survey, int k, const RecordEvaluation& evaluation);

// The rows a format can carry (Complete ones, and with decay those whose decay is
// complete), counting the others in left_out.
std::vector<const SurveyRow*> CarriedRows(const std::vector<SurveyRow>& rows, int& left_out, bool decay = false);

// Where an electrode stands: x as the rows give it, and its elevation.
struct ElectrodeElevation {
  double x = 0;
  double z = 0;
};
// The elevation of the electrode at x among elevations sorted by x; 0 when there is none.
double ElevationAt(const std::vector<ElectrodeElevation>& elevations, double x);

// The positions of the electrodes in place among the rows, sorted, each once.
std::vector<double> PlacedPositions(const std::vector<const SurveyRow*>& rows);
