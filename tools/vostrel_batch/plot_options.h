#pragma once
// The options of a picture, declared once for vostrel-plot, which draws it, and for the
// batch tool's plot command, which checks them, shows their help and hands them on.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "processing/record_evaluation.h"

struct PlotOptions {
  std::string file;     // the survey, or a line (LINE.vln) drawn as a section
  std::string picture;  // OUT.png, .svg or .pdf
  RecordOptions record;
  enum class Kind { Record, Decay, Section } kind = Kind::Record;
  int32_t k = 0;        // --record K or --decay K
  std::string section;  // --pseudosection rhoa|ip|error|classes
  // The section's colour scale: fixed limits (none: automatic) and log or linear (none:
  // the quantity's own); the section in elevation under a line's ground.
  std::optional<std::pair<double, double>> limits;
  std::optional<bool> logarithmic;
  bool elevation = false;
  int width = 0, height = 0;  // --size; 0: the picture's own size

  bool Line() const;
};

// The largest picture drawn: the window's own limits.
inline constexpr int LargestPictureSide = 8000;
inline constexpr int64_t LargestPicturePixels = 20'000'000;

void DeclarePlotOptions(CLI::App& app, PlotOptions& options);
