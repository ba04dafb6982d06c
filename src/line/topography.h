#pragma once
// The ground along a line: points (x, z) in metres as the user surveyed them, x
// increasing. Plain topography gives the elevation at an electrode by linear
// interpolation in x. A tape-measured line has its electrode positions measured along
// the ground from the first point: the electrode then stands where that distance,
// walked along the straight pieces between the points, ends; its horizontal x and its
// z both follow.

#include <string>
#include <string_view>
#include <vector>

struct TopographyPoint {
  double x = 0;
  double z = 0;
  bool operator==(const TopographyPoint&) const = default;
};

struct Topography {
  std::vector<TopographyPoint> points;  // empty: flat ground at z = 0
  bool tape = false;
  bool operator==(const Topography&) const = default;
};

// Appends a point; throws std::invalid_argument when its x does not pass the last one's.
void AddTopographyPoint(std::vector<TopographyPoint>& points, TopographyPoint point);

// TOPO.txt: one "x z" a line, as an editor or a spreadsheet writes it: separated by
// spaces, commas, semicolons or tabs, with a decimal comma where the separator is a
// semicolon, a tab or a space ("0;100,5"); CRLF or LF line ends, a UTF-8 byte order mark.
// Blank lines and lines beginning with '#' are skipped, and so is a line of column titles
// (no field a number) before the first point, with a note. Throws LineFileError
// "name:LINE: 'the line': text".
std::vector<TopographyPoint> ParseTopography(std::string_view text, const std::string& name,
                                             std::vector<std::string>* notes = nullptr);
std::vector<TopographyPoint> ReadTopography(const std::string& path, std::vector<std::string>* notes = nullptr);

struct GroundPoint {
  double x = 0;  // horizontal, metres
  double z = 0;
};

// Where the electrodes at these line positions stand. Throws std::invalid_argument
// naming the first electrode the topography does not reach.
std::vector<GroundPoint> PlaceOnGround(const Topography& topography, const std::vector<double>& positions);
