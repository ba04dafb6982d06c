#pragma once
// The survey view's points as a table for a spreadsheet, a GIS or pandas: one comma-
// separated row per record, its ρa, M and stacking error written as the comma table
// writes them.
//
//   survey,record,A,B,M,N,x,pseudo_depth,ground_z,rhoa,chargeability,dev,excluded,cause
//
// survey: the survey's file name; A..N: the electrode numbers of the survey (0 remote);
// x, pseudo_depth and ground_z in metres (ground_z empty where no ground is known);
// rhoa Ω·m, chargeability mV/V (nan without M), dev the stacking error in percent;
// excluded yes or no, and the cause that leaves the record out of a line. When a point
// carries the decay's fit (the window's view coloured by it), three more columns,
// tau_ms,c,misfit: the fit's τ in ms, its c and its χ² per gate (nan without a fit).
// The table of points without a fit keeps its columns as they are.

#include <string>
#include <vector>

#include "analysis/pseudosection.h"

struct SectionTable {
  std::vector<std::string> surveys;  // by each point's `file`
  std::vector<PseudosectionPoint> points;
};

std::string SectionTableHeader(bool decay = false);
std::string SectionTableLine(const SectionTable& table, const PseudosectionPoint& point, bool decay = false);

// Replaces `path` only once it is complete, with the decay's columns when any point has a
// fit. Throws InOutError.
void WriteSectionTable(const std::string& path, const SectionTable& table);
