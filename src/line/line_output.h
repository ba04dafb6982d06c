#pragma once
// What the batch tool and the window say of a line, and the one file it exports for the
// inversion.

#include <string>
#include <vector>

#include "formats/export_format.h"
#include "line/line_records.h"
#include "output/table_export.h"

// What `line info` tells of a line, as text and as JSON.
struct LineInfo {
  int files = 0;
  int records = 0;
  int electrodes = 0;      // of the records the export keeps
  int without_k_or_r = 0;  // records kept by the rules that the export leaves out
  ExclusionCounts counts;
  // A group of records that measured the same electrodes of the line.
  struct Repeat {
    std::vector<std::string> records;  // "s1.qmr:9", the survey as the project names it
    double r_low = 0, r_high = 0;      // the least and greatest R, Ω
    double spread_pct = 0;             // their difference relative to the mean |R|
  };
  std::vector<Repeat> repeats;
};
LineInfo LineInfoOf(const LineProject& project, const LineData& line);

// The report of `line info`: "NAME: F files, N records, E electrodes, X excluded", with
// ", L without K or R" when there are such records, the count of each cause ("CAUSE: n"), then "repeats: G" and one
// line per group of records that measured the same electrodes of the line ("s1.qmr:9, s2.qmr:1: R 1.250 Ω to 1.270
// Ω, 1.59 %": the least and greatest R in the same decimals, four significant digits of the greater, and their
// difference relative to the mean |R|). E and N − X − L are what the export writes: the electrodes of the records it
// keeps, and those records.
std::vector<std::string> LineInfoLines(const std::string& name, const LineInfo& info);
std::vector<std::string> LineInfoLines(const std::string& name, const LineProject& project, const LineData& line);

struct LineExportReport {
  std::string file;
  int written = 0;
  int excluded = 0;  // by a rule or by hand
  int left_out = 0;  // without a K or an R the format can carry
  // What the user should know of how the file was made: the M rule judged with gates
  // other than the project's.
  std::vector<std::string> notes;
};

// LINE.csv, LINE.ohm or LINE.dat beside the project, or in out_dir when one is given;
// LINE.decay.csv for the decay's long table.
std::string LineExportFileName(const std::string& project_path, ExportFormat format, const std::string& out_dir = {},
                               bool decay = false);

struct LineExportOptions {
  bool ip = false;  // M and its gates (the line evaluated with them)
  // Every gate with its ± and each decay's fit, as a survey's export writes them
  // (ExportOptions::decay); the line evaluated with decay_fit. Implies ip.
  bool decay = false;
  IpError ip_error = IpError::Stack;  // Decay implies ip; the line evaluated with decay_fit
  std::string out_dir{};              // the folder the file goes to; empty: beside the project
};

// Every record of the line that no rule and no hand excludes, through the format's
// writer: positions along the line in the comma table (ρa over the ground), the
// electrodes' horizontal x and their elevations in the unified format and in the
// general array's topography. Replaces the file only once it is complete. Throws
// LineFileError, InOutError.
// With ip, M and its gates (the line evaluated with them); without, none even when the
// rules computed them. With out_dir, the file goes there under the same name.
LineExportReport ExportLine(const std::string& project_path, const LineProject& project, const LineData& line,
                            ExportFormat format, bool ip = false, const std::string& out_dir = {});
// With decay, the surveys' gates must be the same for the unified format and the general
// array, which give one gate list; the long table gives each row's own.
LineExportReport ExportLine(const std::string& project_path, const LineProject& project, const LineData& line,
                            ExportFormat format, const LineExportOptions& options);
