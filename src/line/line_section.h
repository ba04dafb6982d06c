#pragma once
// The pseudosection of a whole line, as the survey view draws it: every record of every
// survey at the mean horizontal x of its electrodes on the ground and at its median depth
// of investigation, with the cause that leaves it out of the line's export.

#include <vector>

#include "analysis/pseudosection.h"
#include "line/exclusion.h"
#include "line/line_records.h"

// causes: one per record of the line, as Evaluate gives them. Records without a place
// (every electrode remote, or no depth) are left out.
std::vector<PseudosectionPoint> LineSectionPoints(const LineData& line, const std::vector<ExclusionCause>& causes);

// The ground above the section: the topography's points, or the electrodes' own (x, z)
// when the line has no topography.
std::vector<GroundPoint> GroundProfile(const LineProject& project, const LineData& line);
