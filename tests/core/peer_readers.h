#pragma once
// Test-only readers that apply the rules by which the open inversion tools load our
// exchange files, as their public loaders state them. A file these readers take apart
// differently from what we meant would load wrongly there.

#include <array>
#include <limits>
#include <map>
#include <string>
#include <vector>

struct PeerRecord {
  double a, b, m, n;  // x of each electrode; NaN for a remote one
  double r;           // transfer resistance, Ω
  double extra = 0;   // the format's further value: ρa (csv, ohm) or nothing
  double error = 0;   // the data error the format carries: Dev. in % (csv), err as a fraction (ohm)
  double ip = std::numeric_limits<double>::quiet_NaN();        // chargeability, mV/V, when the file has it
  double ip_error = std::numeric_limits<double>::quiet_NaN();  // its ±, mV/V: iperr, or Merr of the comma table
  std::vector<double> gates{};                                 // M1..Mn of the comma table
  // Elevation of A, B, M, N as the file gives it: z of the unified format's electrodes, or
  // the general array's topography block; NaN without one, or for a remote electrode.
  std::array<double, 4> z{std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::quiet_NaN()};
  std::map<std::string, double> fields{};  // every field of the unified format's data line, by name
};

struct PeerSurvey {
  std::vector<PeerRecord> records;
  std::vector<std::string> problems;  // what a loader would choke on or misread
};

// The comma table as ResIPy's table parser reads it: a header naming Spa.1..Spa.4, Vp,
// In, Dev., Sp (M as the chargeability, M1..Mn kept as they are); R = Vp / In; a position among ±999, ±9999, ±99999,
// ±999999, ±9999999 is a remote electrode; the other positions must be whole multiples of the smallest gap, as the
// parser numbers electrodes by position / spacing.
PeerSurvey ReadLikeTableParser(const std::string& path);

// The unified data format as REDA's import_ohm reads it (counts before '#', the field
// names after it, whitespace-separated numbers, 0 for no electrode) and as pattern-based
// loaders read each number ([-+]?\d*\.\d+|\d+): both readings must agree. Every
// electrode is a mesh node, so no two may stand at one position. The electrodes' fields
// are named by their header ("# x y z", or "# x z" as pyGIMLi takes a line on the ground).
PeerSurvey ReadLikeOhmLoaders(const std::string& path);

// The general-array file as ResIPy's Res2DInv parser reads it (the count on line 7, the
// IP flag on line 9 and, when it is set, three more lines; the rows after that, read with the same number pattern) and
// as Res2DInv reads it: rows of 3 and 2 electrodes, four lines 0 after the rows, and the unit electrode spacing on
// line 2 the smallest gap between the electrodes. After the rows, a topography block (2, the count, "x z" each,
// then 1) gives each electrode the z of the point at its very x, as ResIPy matches them.
PeerSurvey ReadLikeRes2dinvLoaders(const std::string& path);

// What pyGIMLi's TDIP import (importTDIPdata) makes of a file: the unified format as its
// data container loads it, a ".dat" as its Res2DInv import reads several IP windows (the
// IP block's third line "N delay widths.. on off", each row's values from the IP column on
// as ip1..ipN). The gate fields are the last of IP_#i(mV/V), Mi, ipi whose first exists,
// read while they exist and their largest value is above 0. The times: the Res2DInv
// header's gate bounds; else TM1..TMN (the first row's, seconds unless they add up to
// more than 100) after the delay TM0 (seconds unless above 1); else the gate numbers.
struct PeerTdip {
  std::vector<std::vector<double>> ma;  // [gate][record], as the file has them
  std::vector<double> t;                // each gate's centre, s (or its number)
  std::vector<double> gate_bounds;      // ipGateT: the delay, then each gate's end, s
  std::vector<std::string> problems;
};
PeerTdip ReadLikeTdipImport(const std::string& path);
