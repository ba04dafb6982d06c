// A line of ten surveys of 2000 records exported in one file, against the ten surveys
// exported one by one as the batch tool does (open, export), in the same run.

#include <benchmark/benchmark.h>

#include <filesystem>

#include "bench_support.h"
#include "line/line_output.h"
#include "line/line_records.h"
#include "output/table_export.h"

namespace {

constexpr int Spreads = 10;

// Arg: the format (1 csv, 2 ohm, 3 res2dinv).
void BM_SingleFileExports(benchmark::State& state) {
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  state.SetLabel(ExportFormatName(format));
  std::vector<std::string> files;
  for (int i = 0; i < Spreads; ++i) files.push_back(LineSpreadSurvey(i));
  for (auto _ : state)
    for (const std::string& file : files) {
      const SharedSurvey v = OpenSurvey(file).survey;
      benchmark::DoNotOptimize(ExportSurvey(*v, {.format = format}, {}));
    }
}

void BM_LineExport(benchmark::State& state) {
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  state.SetLabel(ExportFormatName(format));
  const std::string path = TenSpreadLine();
  for (auto _ : state) {
    const LineProject project = ReadLineProject(path);
    benchmark::DoNotOptimize(ExportLine(path, project, EvaluateLine(path, project), format));
  }
}

// The same line with its surveys stamped as older versions stamped them (the header bytes
// only): what checking every byte of the surveys costs an export.
void BM_LineExportHeaderStamps(benchmark::State& state) {
  const std::string path = TenSpreadLine();
  LineProject project = ReadLineProject(path);
  for (LineSurvey& survey : project.surveys) survey.stamp = HeaderStampOf(SurveyPath(path, survey));
  for (auto _ : state)
    benchmark::DoNotOptimize(ExportLine(path, project, EvaluateLine(path, project), ExportFormat::Ohm));
}

void BM_LineExportSeparateHash(benchmark::State& state) {
  const std::string path = TenSpreadLine();
  const LineProject whole = ReadLineProject(path);
  LineProject project = whole;
  for (LineSurvey& survey : project.surveys) survey.stamp = HeaderStampOf(SurveyPath(path, survey));
  for (auto _ : state) {
    for (const LineSurvey& survey : whole.surveys) CheckStamp(SurveyPath(path, survey), "", survey.stamp);
    benchmark::DoNotOptimize(ExportLine(path, project, EvaluateLine(path, project), ExportFormat::Ohm));
  }
}
BENCHMARK(BM_LineExportSeparateHash)->Unit(benchmark::kMillisecond)->MinTime(2);

BENCHMARK(BM_SingleFileExports)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LineExport)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_LineExportHeaderStamps)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_SingleFileExports)->Arg(2)->Unit(benchmark::kMillisecond)->MinTime(2)->Name("BM_SingleFileExports_again");

}  // namespace
