#pragma once
// The pseudosection of a whole line, as the survey view draws it: every record of every
// survey at the mean horizontal x of its electrodes on the ground and at its median depth
// of investigation, with the cause that leaves it out of the line's export.

#include <vector>

#include "analysis/pseudosection.h"
#include "line/exclusion.h"
#include "line/line_records.h"

struct LineSection {
  std::vector<PseudosectionPoint> points;
  std::vector<size_t> record_of_point;  // each point's index in the line's records
};

// Records without a place (every electrode remote, or no depth) are left out. causes: one
// per record of the line, as Evaluate gives them.
LineSection LineSectionOf(const LineData& line, const std::vector<ExclusionCause>& causes);
// Marks each point with its record's cause again, as toggling a record asks: cheap
// beside placing the records.
void MarkExclusions(LineSection& section, const std::vector<ExclusionCause>& causes);

// The ground above the section: the topography's points, or the electrodes' own (x, z)
// when the line has no topography.
std::vector<GroundPoint> GroundProfile(const LineProject& project, const LineData& line);
