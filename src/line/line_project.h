#pragma once
// A survey line, as its .vln project keeps it: the surveys rolled along the line, the
// topography, the exclusion rules, the records excluded by hand and the processing
// options. The project is a UTF-8 text of "key = value" lines under [sections], meant to
// be read and edited by hand. A '#' begins a comment only at the start of a line (paths
// may hold one); the notes on the right below are not part of the format:
//
//   format = 2
//   [survey]               one section per survey, in the line's order
//   file = spread1.qmr     relative to the project's folder, '/' between folders
//   offset = 47.5          metres added to the survey's electrode coordinates
//   size = 1581228         the survey's size when it was added, bytes
//   hash = 0123456789abcdef   the hash of all its bytes then (XXH3, 64 bits)
//   [topography]
//   tape = no              yes: the electrode positions are distances along the ground
//   point = 0 101.5        x z, metres, x increasing
//   [exclusion]
//   max-error = 5          stacking error above P %
//   max-reciprocal = 10    reciprocal error above P %
//   negative-rhoa = yes
//   max-k = 5000           |K| above, metres
//   m-range = -5 200       M outside, mV/V
//   electrode = 95         every record using the electrode at this position (repeatable)
//   record = spread1.qmr:17   a record excluded by hand (repeatable)
//   [processing]
//   flip-sign = no         yes: dU with its sign flipped
//   abs-du = no            yes: the modulus of dU
//   gates = 20:40,40:80    the chargeability gates in ms; empty: the standard ones
//   mains = 50             the mains frequencies, Hz; empty: 50, 60 and 16.7; 0: none
//   [view]                 only when a colour scale is fixed
//   rhoa-scale = 10 1000 log   the survey view's fixed colour scale of ρa (error-, m-):
//                          low and high limits, log or linear
//
// A key other than point, electrode and record is given once in its section; a limit may
// also read "off", as if it were not given. Format 1, of older versions, stamped a
// survey with "header = " (a hash of its header bytes only); it is read as it is, and
// stamped anew when the project is written.
// Numbers are written in the fewest digits that read back as the same number.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "line/exclusion.h"
#include "line/survey_stamp.h"
#include "line/topography.h"

struct LineSurvey {
  std::string file;
  double offset_m = 0;
  SurveyStamp stamp;
  bool operator==(const LineSurvey&) const = default;
};

// Kept as the user gave them; the record pass reads them.
struct LineProcessing {
  bool flip_sign = false;
  bool abs_du = false;
  std::string gates;
  std::string mains;
  bool operator==(const LineProcessing&) const = default;
};

// A colour scale the user fixed in the survey view, kept with the line.
struct FixedColourScale {
  double low = 0, high = 0;
  bool logarithmic = true;
  bool operator==(const FixedColourScale&) const = default;
};

// The quantities whose colour scale a project may fix, as its keys name them.
inline constexpr const char* ColourScaleQuantities[] = {"rhoa", "error", "m", "tau", "c", "misfit"};

// Where values stood in the project's file, for the faults that only its surveys show (a
// record beyond its survey's last, gates outside a survey's pause). Not part of the
// project's value: two projects that differ only here are equal.
struct ProjectLines {
  int gates = 0;
  std::map<RecordRef, int> records;
  bool operator==(const ProjectLines&) const { return true; }
};

struct LineProject {
  std::vector<LineSurvey> surveys;
  Topography topography;
  ExclusionRules rules;
  std::set<RecordRef> excluded_by_hand;  // RecordRef::file indexes surveys
  LineProcessing processing;
  std::map<std::string, FixedColourScale> colour_scales;  // by quantity
  ProjectLines lines;                                     // 0 and none for a project not read from a file
  bool operator==(const LineProject&) const = default;
};

constexpr int LineFormatVersion = 2;

// "50", "50,16.7"; "0": none; empty: the standard ones. Throws std::invalid_argument with
// a message that names the value.
std::vector<double> MainsFrequencies(const std::string& text);

// A rule as the user sets it by name: "max-error", "max-reciprocal", "max-k",
// "max-decay-misfit" take a limit of 0 or more, "m-range" LOW HIGH (or LOW:HIGH) with LOW
// first, "negative-rhoa" and "decay-not-monotone" yes or no; each takes "off", which sets
// no limit. Throws std::invalid_argument with a message
// that names the rule and what it takes.
void SetRule(ExclusionRules& rules, const std::string& name, const std::string& value);

// The project's lines, without line ends.
std::vector<std::string> FormatLineProject(const LineProject& project);

// Throws LineFileError "name:LINE: text" for a line it cannot take, and "name: text" for a
// text that is no project at all (a survey given for one).
LineProject ParseLineProject(const std::string& text, const std::string& name);

// The project read and parsed; every fault its text shows is found here. Throws
// LineFileError, which names the file a survey when it is one.
LineProject ReadLineProject(const std::string& path);

// Writes the project, replaced only once complete. A survey stamped by an older version
// is first checked against that stamp, then stamped anew with the hash of its whole
// file, in `project` too; the notes say so. Throws LineFileError naming a survey that
// changed, InOutError.
std::vector<std::string> WriteLineProject(const std::string& path, LineProject& project);

// A survey's file as the program opens it: beside the project, as the project names it.
std::string SurveyPath(const std::string& project_path, const LineSurvey& survey);
// How the project names a file given on the command line or chosen in the window.
std::string ProjectRelativeName(const std::string& project_path, const std::string& file);
// The survey that is this file, or -1.
int SurveyOfFile(const std::string& project_path, const LineProject& project, const std::string& file);
