// The record pass over every record of the 10000-record survey, as the exports and the
// file check make it, against one sequential read of the whole file.

#include <benchmark/benchmark.h>

#include <memory>

#include "analysis/file_check.h"
#include "bench_support.h"
#include "output/table_export.h"
#include "processing/record_pass.h"

namespace {

// 0: the first surveys' model; 1: the field survey; 2: the field survey without hum.
SharedSurvey OpenedSurvey(int field = 0) {
  return OpenSurvey(field == 0 ? TenThousandRecordSurvey(false) : TenThousandRecordFieldSurvey(field == 1)).survey;
}

void BM_CatWholeFile(benchmark::State& state) {
  std::string file = TenThousandRecordSurvey(false);
  for (auto _ : state) {
    state.SetIterationTime(CatSeconds(file));
  }
}

// The record pass: blocks read ahead on a second thread, one read and one hand-over each.
void BM_RecordPass(benchmark::State& state) {
  auto v = OpenedSurvey();
  for (auto _ : state) {
    double sum = 0;
    RecordPass(*v, {}, [&](const RecordRow& row) { sum += row.evaluation.result.MeanDU; });
    benchmark::DoNotOptimize(sum);
  }
  state.counters["records_per_s"] =
      benchmark::Counter(double(v->RecordCount), benchmark::Counter::kIsIterationInvariantRate);
}

// One export per format: txt, csv, ohm, res2dinv.
void BM_Export(benchmark::State& state) {
  auto v = OpenedSurvey();
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  state.SetLabel(ExportFormatName(format));
  for (auto _ : state) benchmark::DoNotOptimize(ExportSurvey(*v, {.format = format}, {}));
}

void BM_CatFieldSurvey(benchmark::State& state) {
  std::string file = TenThousandRecordFieldSurvey();
  for (auto _ : state) state.SetIterationTime(CatSeconds(file));
}

// Exports that carry chargeability (csv, ohm, res2dinv) of the first surveys' model
// (arg 0: no hum, no spikes), of the field survey (arg 1: hum and spikes in every record)
// and of the same without hum (arg 2).
void BM_ExportWithChargeability(benchmark::State& state) {
  auto v = OpenedSurvey(static_cast<int>(state.range(1)));
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  const char* labels[] = {" plain", " field", " field without hum"};
  state.SetLabel(ExportFormatName(format) + labels[state.range(1)]);
  ExportOptions options{.format = format, .ip = IpSettings{}};
  for (auto _ : state) benchmark::DoNotOptimize(ExportSurvey(*v, options, {}));
}

// The same exports with every decay fitted (ohm, and the long table of csv), against
// BM_ExportWithChargeability of the same survey in the same run.
void BM_ExportWithDecay(benchmark::State& state) {
  auto v = OpenedSurvey(static_cast<int>(state.range(1)));
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  const char* labels[] = {" plain", " field", " field without hum"};
  state.SetLabel(ExportFormatName(format) + labels[state.range(1)]);
  ExportOptions options{.format = format, .ip = IpSettings{}, .decay = true};
  for (auto _ : state) benchmark::DoNotOptimize(ExportSurvey(*v, options, {}));
}

void BM_CheckFile(benchmark::State& state) {
  auto v = OpenedSurvey();
  for (auto _ : state) {
    int points = 0;
    CheckFile(*v, {}, [&](const CheckPoint&) { ++points; });
    benchmark::DoNotOptimize(points);
  }
}

BENCHMARK(BM_CatWholeFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RecordPass)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Export)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CheckFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->ArgsProduct({{1, 2, 3}, {0}})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithDecay)->ArgsProduct({{1, 2}, {0}})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->Name("BM_ExportWithChargeability_again");
BENCHMARK(BM_CatFieldSurvey)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->Args({2, 2})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithDecay)->Args({2, 2})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->Args({2, 1})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CatFieldSurvey)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->Name("BM_CatFieldSurvey_again");
BENCHMARK(BM_CatWholeFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2)->Name("BM_CatWholeFile_again");

}  // namespace
