#include "line/line_section.h"

#include <cmath>

#include "analysis/error_class.h"
#include "geometry/pseudo_position.h"
#include "ip/decay_fit.h"

LineSection LineSectionOf(const LineData& line, const std::vector<ExclusionCause>& causes) {
  LineSection section;
  std::vector<PseudosectionPoint>& points = section.points;
  points.reserve(line.records.size());
  for (size_t i = 0; i < line.records.size() && i < line.rows.size(); ++i) {
    const LineRecord& record = line.records[i];
    const SurveyRow& row = line.rows[i];
    const PseudoPosition place = PseudoPositionOf(Quadrupole{record.a, record.b, record.m, record.n});
    double x = 0;
    int placed = 0;
    for (const std::optional<double>& position : {record.a, record.b, record.m, record.n}) {
      if (!position) continue;
      const int electrode = LineElectrodeAt(line.electrodes, *position);
      x += electrode >= 0 ? line.electrodes[static_cast<size_t>(electrode)].x : std::nan("");
      ++placed;
    }
    if (placed == 0 || !std::isfinite(x) || !std::isfinite(place.depth)) continue;
    PseudosectionPoint point;
    point.file = record.ref.file;
    point.record = record.ref.record;
    point.a = row.entry.A, point.b = row.entry.B, point.m = row.entry.M, point.n = row.entry.N;
    point.x = x / placed;
    point.depth = place.depth;
    point.rhoa = record.rhoa;
    point.error_pct = record.stacking_error_pct;
    point.plotted_error_pct = PlottedError(record.stacking_error_pct);
    point.error_class = ClassOfError(point.plotted_error_pct);
    point.chargeability = record.chargeability_mv_v;
    if (row.ip && row.ip->fit) {
      point.tau_ms = row.ip->fit->tau_ms;
      point.decay_c = row.ip->fit->c;
      point.decay_misfit = row.ip->fit->chi2;
    }
    points.push_back(std::move(point));
    section.record_of_point.push_back(i);
  }
  MarkExclusions(section, causes);
  return section;
}

void MarkExclusions(LineSection& section, const std::vector<ExclusionCause>& causes) {
  for (size_t p = 0; p < section.points.size(); ++p) {
    const size_t record = section.record_of_point[p];
    section.points[p].left_out = record < causes.size() ? CauseName(causes[record]) : "";
  }
}

std::vector<GroundPoint> GroundProfile(const LineProject& project, const LineData& line) {
  std::vector<GroundPoint> ground;
  if (!project.topography.points.empty()) {
    for (const TopographyPoint& point : project.topography.points) ground.push_back({point.x, point.z});
    return ground;
  }
  for (const LineElectrode& electrode : line.electrodes) ground.push_back({electrode.x, electrode.z});
  return ground;
}
