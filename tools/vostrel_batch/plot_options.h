#pragma once
// The options of a picture, declared once for vostrel-plot, which draws it, and for the
// batch tool's plot command, which checks them, shows their help and hands them on.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

#include "processing/record_evaluation.h"

struct PlotOptions {
  std::string file;     // the survey
  std::string picture;  // OUT.png, .svg or .pdf
  RecordOptions record;
  enum class Kind { Record, Decay, Section } kind = Kind::Record;
  int32_t k = 0;        // --record K or --decay K
  std::string section;  // --pseudosection rhoa|ip|error
};

void DeclarePlotOptions(CLI::App& app, PlotOptions& options);
