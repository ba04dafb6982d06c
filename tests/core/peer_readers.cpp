#include "peer_readers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (std::getline(in, field, separator)) fields.push_back(field);
  return fields;
}

std::vector<double> Whitespace(const std::string& line) {
  std::vector<double> values;
  std::stringstream in(line);
  std::string word;
  while (in >> word) values.push_back(std::stod(word));
  return values;
}

// The numbers the Python loaders find with the pattern [-+]?\d*\.\d+|\d+, matched as
// re.findall does: leftmost first, the first alternative before the second. It splits
// "1e-05" and drops the sign of "-5".
std::vector<double> AsPatternReads(const std::string& line) {
  auto digits = [&](size_t from) {
    size_t to = from;
    while (to < line.size() && std::isdigit(static_cast<unsigned char>(line[to]))) ++to;
    return to;
  };
  std::vector<double> values;
  size_t i = 0;
  while (i < line.size()) {
    size_t start = i, at = i;
    if (line[at] == '-' || line[at] == '+') ++at;
    size_t point = digits(at);
    if (point < line.size() && line[point] == '.' && digits(point + 1) > point + 1) {  // [-+]?\d*\.\d+
      size_t end = digits(point + 1);
      values.push_back(std::stod(line.substr(start, end - start)));
      i = end;
    } else if (digits(i) > i) {  // \d+
      values.push_back(std::stod(line.substr(i, digits(i) - i)));
      i = digits(i);
    } else {
      ++i;
    }
  }
  return values;
}

bool IsRemoteFlag(double x) {
  for (double flag : {999.0, 9999.0, 99999.0, 999999.0, 9999999.0})
    if (std::fabs(x) == flag) return true;
  return false;
}

}  // namespace

PeerSurvey ReadLikeTableParser(const std::string& path) {
  PeerSurvey survey;
  std::vector<std::string> lines = FileLines(path);
  if (lines.empty()) return survey.problems.push_back("empty file"), survey;
  std::map<std::string, size_t> column;
  std::vector<std::string> header = Split(lines[0], ',');
  for (size_t i = 0; i < header.size(); ++i) column[header[i]] = i;
  for (const char* name : {"Spa.1", "Spa.2", "Spa.3", "Spa.4", "Vp", "In", "Dev.", "Sp"})
    if (!column.count(name)) survey.problems.push_back(std::string("no column ") + name);
  if (!survey.problems.empty()) return survey;
  std::set<double> placed;
  for (size_t l = 1; l < lines.size(); ++l) {
    std::vector<std::string> fields = Split(lines[l], ',');
    if (fields.size() != header.size())
      survey.problems.push_back("line " + std::to_string(l + 1) + " has other fields");
    auto value = [&](const char* name) { return std::stod(fields.at(column[name])); };
    PeerRecord record{value("Spa.1"), value("Spa.2"), value("Spa.3"), value("Spa.4"), value("Vp") / value("In")};
    if (column.count("Rho")) record.extra = value("Rho");
    record.error = value("Dev.");
    if (column.count("M")) record.ip = value("M");
    // Columns the table's reader does not rename are kept as they are named.
    if (column.count("Merr")) record.ip_error = value("Merr");
    for (int i = 1; column.count("M" + std::to_string(i)); ++i)
      record.gates.push_back(std::stod(fields.at(column["M" + std::to_string(i)])));
    for (double* x : {&record.a, &record.b, &record.m, &record.n}) {
      if (IsRemoteFlag(*x))
        *x = NaN;
      else
        placed.insert(*x);
    }
    survey.records.push_back(record);
  }
  // Electrodes are numbered by position / spacing, the spacing being the first gap.
  if (placed.size() >= 2) {
    double spacing = *std::next(placed.begin()) - *placed.begin();
    for (double x : placed)
      if (std::fabs(x / spacing - std::round(x / spacing)) > 1e-6)
        survey.problems.push_back("position " + std::to_string(x) + " is no multiple of the spacing");
  }
  return survey;
}

PeerSurvey ReadLikeOhmLoaders(const std::string& path) {
  PeerSurvey survey;
  std::vector<std::string> lines = FileLines(path);
  size_t at = 0;
  auto next = [&]() -> const std::string& {
    static const std::string none;
    return at < lines.size() ? lines[at++] : none;
  };
  auto checked = [&](const std::string& line) {
    std::vector<double> values = Whitespace(line.substr(0, line.find('#')));
    if (values != AsPatternReads(line)) survey.problems.push_back("pattern reads '" + line + "' otherwise");
    return values;
  };
  const size_t electrodes = static_cast<size_t>(std::stoul(Split(next(), '#').at(0)));
  const std::string electrode_fields = next();
  if (electrode_fields.rfind("#", 0) != 0) survey.problems.push_back("no '#' before the electrode fields");
  std::vector<std::string> fields;
  {
    std::stringstream in(electrode_fields.substr(std::min<size_t>(1, electrode_fields.size())));
    std::string word;
    while (in >> word) fields.push_back(word);
  }
  const auto z_field = std::find(fields.begin(), fields.end(), "z");
  if (fields.empty() || fields[0] != "x" || z_field == fields.end())
    survey.problems.push_back("electrode fields '" + electrode_fields + "' name no x and z");
  std::vector<double> x, z;
  for (size_t i = 0; i < electrodes; ++i) {
    std::vector<double> values = checked(next());
    if (values.size() != fields.size()) survey.problems.push_back("an electrode without its fields");
    x.push_back(values.empty() ? NaN : values[0]);
    const size_t zi = static_cast<size_t>(z_field - fields.begin());
    z.push_back(zi < values.size() ? values[zi] : NaN);
  }
  // Two nodes at one place break the mesh the inversion builds on them.
  if (std::set<double>(x.begin(), x.end()).size() != x.size())
    survey.problems.push_back("two electrodes at one position");
  const size_t count = static_cast<size_t>(std::stoul(Split(next(), '#').at(0)));
  const std::vector<std::string> names = [&] {
    std::stringstream in(next().substr(1));
    std::vector<std::string> words;
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
  }();
  std::map<std::string, size_t> column;
  for (size_t i = 0; i < names.size(); ++i) column[names[i]] = i;
  for (const char* name : {"a", "b", "m", "n", "r"})
    if (!column.count(name)) survey.problems.push_back(std::string("no field ") + name);
  if (!survey.problems.empty()) return survey;
  auto position = [&](double index) { return index == 0 ? NaN : x.at(static_cast<size_t>(index) - 1); };
  auto elevation = [&](double index) { return index == 0 ? NaN : z.at(static_cast<size_t>(index) - 1); };
  for (size_t i = 0; i < count; ++i) {
    std::vector<double> row = checked(next());
    if (row.size() != names.size()) {
      survey.problems.push_back("a data line with " + std::to_string(row.size()) + " fields");
      continue;
    }
    survey.records.push_back({position(row[column["a"]]), position(row[column["b"]]), position(row[column["m"]]),
                              position(row[column["n"]]), row[column["r"]],
                              column.count("rhoa") ? row[column["rhoa"]] : 0,
                              column.count("err") ? row[column["err"]] : 0});
    survey.records.back().z = {elevation(row[column["a"]]), elevation(row[column["b"]]), elevation(row[column["m"]]),
                               elevation(row[column["n"]])};
    for (const auto& [name, at] : column) survey.records.back().fields[name] = row[at];
    if (column.count("ip")) survey.records.back().ip = row[column["ip"]];
    if (column.count("iperr")) survey.records.back().ip_error = row[column["iperr"]];
  }
  // pyGIMLi then reads the count of topography points.
  if (Whitespace(next()) != std::vector<double>{0}) survey.problems.push_back("no topography count 0 at the end");
  return survey;
}

PeerSurvey ReadLikeRes2dinvLoaders(const std::string& path) {
  PeerSurvey survey;
  std::vector<std::string> lines = FileLines(path);
  if (lines.size() < 10) return survey.problems.push_back("too short"), survey;
  if (std::stoi(lines[2]) != 11) survey.problems.push_back("not a general array");
  if (lines[4].find("Type") == std::string::npos || std::stoi(lines[5]) != 1)
    survey.problems.push_back("not marked as resistances");
  const size_t count = std::stoul(lines[6]);
  const bool chargeability = std::stoi(lines[8]) != 0;
  const size_t first = chargeability ? 12 : 9;
  for (size_t i = 0; i < count; ++i) {
    const std::string& line = lines.at(first + i);
    std::vector<double> values = AsPatternReads(line);
    if (values != Whitespace(line)) survey.problems.push_back("pattern reads '" + line + "' otherwise");
    const size_t electrodes = values.empty() ? 0 : static_cast<size_t>(values[0]);
    if (values.size() != 2 + 2 * electrodes + (chargeability ? 1 : 0)) {
      survey.problems.push_back("row '" + line + "' has other fields");
      continue;
    }
    // The rows name C1 [C2] P1 [P2]; a missing one is remote.
    std::vector<double> x;
    for (size_t e = 0; e < electrodes; ++e) x.push_back(values[1 + 2 * e]);
    const double r = values[1 + 2 * electrodes];
    if (electrodes == 4)
      survey.records.push_back({x[0], x[1], x[2], x[3], r});
    else if (electrodes == 3)
      survey.records.push_back({x[0], NaN, x[1], x[2], r});
    else if (electrodes == 2)
      survey.records.push_back({x[0], NaN, x[1], NaN, r});
    else
      survey.problems.push_back("a row of " + std::to_string(electrodes) + " electrodes");
    if (chargeability && !survey.records.empty()) survey.records.back().ip = values.back();
  }
  // Res2DInv reads the flags of topography, fixed regions, ... after the rows; four 0
  // say that nothing follows. A topography (2: true horizontal x) comes first.
  size_t after = first + count;
  if (after < lines.size() && AsPatternReads(lines[after]) == std::vector<double>{2}) {
    const size_t points = after + 1 < lines.size() ? static_cast<size_t>(std::stoul(lines[after + 1])) : 0;
    std::map<double, double> ground;
    for (size_t i = after + 2; i < after + 2 + points && i < lines.size(); ++i) {
      const std::vector<double> xz = AsPatternReads(lines[i]);
      if (xz.size() != 2 || xz != Whitespace(lines[i])) survey.problems.push_back("topography '" + lines[i] + "'");
      if (xz.size() == 2) ground[xz[0]] = xz[1];
    }
    after += 2 + points;
    if (after >= lines.size() || AsPatternReads(lines[after]) != std::vector<double>{1})
      survey.problems.push_back("no 1 after the topography");
    ++after;
    for (PeerRecord& record : survey.records) {
      const std::array<double, 4> x{record.a, record.b, record.m, record.n};
      for (size_t e = 0; e < 4; ++e) {
        if (std::isnan(x[e])) continue;
        auto point = ground.find(x[e]);
        if (point == ground.end())
          survey.problems.push_back("no topography point at " + std::to_string(x[e]));
        else
          record.z[e] = point->second;
      }
    }
  }
  for (size_t i = after; i < after + 4; ++i)
    if (i >= lines.size() || AsPatternReads(lines[i]) != std::vector<double>{0})
      survey.problems.push_back("no four lines 0 after the rows");
  // Its model cells are cut from the unit electrode spacing, the smallest gap between
  // the electrodes: a larger one lumps neighbours together.
  std::set<double> placed;
  for (const PeerRecord& record : survey.records)
    for (double x : {record.a, record.b, record.m, record.n})
      if (!std::isnan(x)) placed.insert(x);
  double smallest = 0;
  for (auto x = placed.begin(); x != placed.end() && std::next(x) != placed.end(); ++x)
    if (smallest == 0 || *std::next(x) - *x < smallest) smallest = *std::next(x) - *x;
  if (smallest > 0 && std::fabs(std::stod(lines[1]) - smallest) > 1e-6 * smallest)
    survey.problems.push_back("unit spacing " + lines[1] + " is not the smallest gap " + std::to_string(smallest));
  return survey;
}

namespace {

// importRes2dInv's header and rows of a general array with several IP windows.
void ReadRes2dinvWindows(const std::string& path, std::map<std::string, std::vector<double>>& data, PeerTdip& tdip) {
  std::vector<std::string> lines;
  for (const std::string& line : FileLines(path))
    if (!line.empty() && line[0] != ';') lines.push_back(line);
  if (lines.size() < 9 || std::stoi(lines[2]) != 11) return tdip.problems.push_back("not a general array");
  const size_t count = std::stoul(lines[6]);
  if (std::stoi(lines[8]) == 0) return tdip.problems.push_back("no IP");
  const std::vector<std::string> window = Split(lines[11], ' ');
  if (window.size() <= 2) return tdip.problems.push_back("one IP window");
  const size_t gates = std::stoul(window[0]);
  double bound = std::stod(window[1]);
  tdip.gate_bounds.push_back(bound);
  for (size_t i = 2; i + 2 < window.size(); ++i) tdip.gate_bounds.push_back(bound += std::stod(window[i]));
  for (size_t r = 0; r < count; ++r) {
    std::string line = lines.at(12 + r);
    std::replace(line.begin(), line.end(), ',', ' ');
    std::vector<std::string> values;
    std::stringstream in(line);
    for (std::string word; in >> word;) values.push_back(word);
    const size_t ip_column = 2 * static_cast<size_t>(std::stoi(values.at(0))) + 2;
    if (values.size() < ip_column + gates) {
      tdip.problems.push_back("a row with fewer values than gates");
      continue;
    }
    for (size_t i = 0; i < gates; ++i) {
      double m = std::stod(values[ip_column + i]);
      if (m > 1000 || m < -1000) m = -999;
      data["ip" + std::to_string(i + 1)].push_back(m);
    }
  }
}

}  // namespace

PeerTdip ReadLikeTdipImport(const std::string& path) {
  PeerTdip tdip;
  std::map<std::string, std::vector<double>> data;
  const bool res2dinv = path.size() > 4 && path.substr(path.size() - 4) == ".dat";
  if (res2dinv) {
    ReadRes2dinvWindows(path, data, tdip);
  } else {
    const PeerSurvey survey = ReadLikeOhmLoaders(path);
    tdip.problems = survey.problems;
    for (const PeerRecord& record : survey.records)
      for (const auto& [name, value] : record.fields) data[name].push_back(value);
  }
  std::string key;
  for (const char* prefix : {"IP_#", "M", "ip"})
    if (data.count(prefix + std::string("1") + (std::string(prefix) == "IP_#" ? "(mV/V)" : ""))) key = prefix;
  auto name = [&](size_t i) { return key + std::to_string(i) + (key == "IP_#" ? "(mV/V)" : ""); };
  for (size_t i = 1; !key.empty() && data.count(name(i)); ++i) {
    const std::vector<double>& gate = data[name(i)];
    if (gate.empty() || *std::max_element(gate.begin(), gate.end()) <= 0) break;
    tdip.ma.push_back(gate);
  }
  for (size_t i = 0; i < tdip.ma.size(); ++i) tdip.t.push_back(static_cast<double>(i + 1));
  if (!tdip.gate_bounds.empty()) {
    tdip.t.clear();
    for (size_t i = 0; i + 1 < tdip.gate_bounds.size(); ++i)
      tdip.t.push_back(tdip.gate_bounds[i] + (tdip.gate_bounds[i + 1] - tdip.gate_bounds[i]) / 2);
  } else if (data.count("TM1")) {
    std::vector<double> widths;
    double sum = 0;
    for (size_t i = 1; i <= tdip.ma.size(); ++i) {
      widths.push_back(data.count("TM" + std::to_string(i)) ? data["TM" + std::to_string(i)].at(0) : NaN);
      sum += widths.back();
    }
    if (sum > 100)
      for (double& width : widths) width *= 0.001;
    double delay = data.count("TM0") ? data["TM0"].at(0) : 0.0;
    if (delay > 1) delay *= 0.001;
    tdip.t.clear();
    tdip.gate_bounds = {delay};
    double end = delay;
    for (double width : widths) {
      tdip.t.push_back(end + width / 2);
      tdip.gate_bounds.push_back(end += width);
    }
  }
  return tdip;
}
