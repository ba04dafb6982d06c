#include "line/topography.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "line/line_error.h"
#include "line/number_text.h"
#include "line/text_file.h"

namespace {

// An extent walked along the ground, as a message gives it.
double ToMillimetre(double x) { return std::round(x * 1000) / 1000; }

// Positions that stand within a millimetre of the topography's end are still on it: the
// file's coordinates are single precision and offsets add their own rounding.
constexpr double ReachTolerance = 0.001;

std::vector<std::string> Split(const std::string& line, std::string_view separators) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line + separators.front()) {
    if (separators.find(c) == std::string_view::npos) {
      field += c;
    } else if (!field.empty()) {
      fields.push_back(std::move(field));
      field.clear();
    }
  }
  return fields;
}

// The fields of a line as a spreadsheet or an editor writes it: separated by semicolons
// or tabs, where a comma is a decimal comma ("0;100,5"); otherwise by spaces or commas
// ("0 100.5", "0,100.5"), or by spaces with decimal commas ("0 100,5").
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  if (line.find_first_of(";\t") != std::string::npos) {
    fields = Split(line, ";\t ");
  } else {
    fields = Split(line, " ,");
    if (fields.size() == 2) return fields;
    fields = Split(line, " ");
  }
  for (std::string& field : fields) std::replace(field.begin(), field.end(), ',', '.');
  return fields;
}

bool AnyNumber(const std::vector<std::string>& fields) {
  double number = 0;
  return std::any_of(fields.begin(), fields.end(),
                     [&](const std::string& field) { return ParseNumber(field, number); });
}

// The distances along the ground from the first point to each point.
std::vector<double> Walked(const std::vector<TopographyPoint>& points) {
  std::vector<double> walked(points.size(), 0.0);
  for (size_t i = 1; i < points.size(); ++i)
    walked[i] = walked[i - 1] + std::hypot(points[i].x - points[i - 1].x, points[i].z - points[i - 1].z);
  return walked;
}

// Linear interpolation in a table whose keys increase; `at` lies within them.
GroundPoint Interpolated(const std::vector<double>& keys, const std::vector<TopographyPoint>& points, double at) {
  size_t i = static_cast<size_t>(std::upper_bound(keys.begin(), keys.end(), at) - keys.begin());
  i = std::clamp<size_t>(i, 1, keys.size() - 1);
  const double span = keys[i] - keys[i - 1];
  const double t = std::clamp((at - keys[i - 1]) / span, 0.0, 1.0);
  return {points[i - 1].x + t * (points[i].x - points[i - 1].x), points[i - 1].z + t * (points[i].z - points[i - 1].z)};
}

}  // namespace

void AddTopographyPoint(std::vector<TopographyPoint>& points, TopographyPoint point) {
  if (!points.empty() && !(point.x > points.back().x))
    throw std::invalid_argument("x " + ShortestText(point.x) + " does not pass the x before it (" +
                                ShortestText(points.back().x) + "): the points must go along the line");
  points.push_back(point);
}

std::vector<TopographyPoint> ParseTopography(std::string_view text, const std::string& name,
                                             std::vector<std::string>* notes) {
  // A spreadsheet saving UTF-8 begins the file with a byte order mark.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<TopographyPoint> points;
  int number = 0;
  bool header_possible = true;
  while (!text.empty()) {
    const size_t end = std::min(text.find('\n'), text.size());
    std::string line(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> fields = Fields(line);
    if (fields.empty() || fields.front().front() == '#') continue;
    auto refuse = [&](const std::string& why) { throw LineFileError(name, number, "'" + line + "': " + why); };
    // Column titles above the first point, in which no field is a number however the
    // line is split ("-20,99,5" is a point written wrong, not a title).
    if (header_possible && !AnyNumber(fields) && !AnyNumber(Split(line, " ,;\t"))) {
      header_possible = false;
      if (notes) notes->push_back(name + ":" + std::to_string(number) + ": '" + line + "' taken for column titles");
      continue;
    }
    header_possible = false;
    if (fields.size() != 2) refuse("one x and one z expected");
    TopographyPoint point;
    if (!ParseNumber(fields[0], point.x) || !ParseNumber(fields[1], point.z)) refuse("two numbers expected");
    try {
      AddTopographyPoint(points, point);
    } catch (const std::invalid_argument& error) {
      refuse(error.what());
    }
  }
  if (points.size() < 2) throw LineFileError(name, "a topography needs at least two points");
  return points;
}

std::vector<TopographyPoint> ReadTopography(const std::string& path, std::vector<std::string>* notes) {
  return ParseTopography(ReadText(path), path, notes);
}

std::vector<GroundPoint> PlaceOnGround(const Topography& topography, const std::vector<double>& positions) {
  const std::vector<TopographyPoint>& points = topography.points;
  std::vector<GroundPoint> placed;
  placed.reserve(positions.size());
  if (points.empty()) {
    for (double position : positions) placed.push_back({position, 0.0});
    return placed;
  }
  std::vector<double> keys;
  if (topography.tape) {
    keys = Walked(points);
    for (double& key : keys) key += points.front().x;
  } else {
    for (const TopographyPoint& point : points) keys.push_back(point.x);
  }
  for (double position : positions) {
    if (!(position >= keys.front() - ReachTolerance && position <= keys.back() + ReachTolerance))
      throw std::invalid_argument("the topography does not reach the electrode at " + ShortestText(position) +
                                  " m (it covers " + ShortestText(ToMillimetre(keys.front())) + " to " +
                                  ShortestText(ToMillimetre(keys.back())) + " m" +
                                  (topography.tape ? " along the ground)" : ")"));
    GroundPoint point = Interpolated(keys, points, position);
    if (!topography.tape) point.x = position;
    placed.push_back(point);
  }
  return placed;
}
