// A pass over every record of the 10000-record survey with display off, as the export
// and the file check make it, against one sequential read of the whole file.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench_support.h"
#include "measurement/record_loader.h"
#include "output/file_check.h"
#include "output/table_export.h"
#include "processing/record_evaluation.h"
#include "vari.h"

namespace {

// 0: the first surveys' model; 1: the field survey; 2: the field survey without hum.
std::unique_ptr<Vari> OpenedSurvey(int field = 0) {
  auto v = std::make_unique<Vari>();
  v->DataFileName = field == 0 ? TenThousandRecordSurvey(false) : TenThousandRecordFieldSurvey(field == 1);
  OpenSurvey(*v);
  return v;
}

void BM_CatWholeFile(benchmark::State& state) {
  std::string file = TenThousandRecordSurvey(false);
  for (auto _ : state) {
    state.SetIterationTime(CatSeconds(file));
  }
}

void BM_ReadAndProcessAllRecords(benchmark::State& state) {
  auto v = OpenedSurvey();
  for (auto _ : state) {
    DataFileSession session(v->DataFile, v->DataFileName);
    for (int k = 1; k <= v->RecordCount; ++k) EvaluateRecord(*v, k, {});
    benchmark::DoNotOptimize(v->RecordResult);
  }
  state.counters["records_per_s"] =
      benchmark::Counter(double(v->RecordCount), benchmark::Counter::kIsIterationInvariantRate);
}

// The same pass with the next curves read ahead on a second thread, as the export and the check make it.
void BM_ReadAheadAndProcessAllRecords(benchmark::State& state) {
  auto v = OpenedSurvey();
  for (auto _ : state) {
    DataFileSession session(v->DataFile, v->DataFileName);
    PassReadAhead read_ahead(*v);
    for (int k = 1; k <= v->RecordCount; ++k) EvaluateRecord(*v, k, {});
    benchmark::DoNotOptimize(v->RecordResult);
  }
}

// One export per format: txt, csv, ohm, res2dinv.
void BM_Export(benchmark::State& state) {
  auto v = OpenedSurvey();
  const ExportFormat format = static_cast<ExportFormat>(state.range(0));
  state.SetLabel(ExportFormatName(format));
  for (auto _ : state) benchmark::DoNotOptimize(ExportSurvey(*v, {.format = format}, CoreEvaluator(*v, {})));
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
  for (auto _ : state) benchmark::DoNotOptimize(ExportSurvey(*v, options, CoreEvaluator(*v, {})));
}

void BM_CheckFile(benchmark::State& state) {
  auto v = OpenedSurvey();
  for (auto _ : state) {
    int points = 0;
    CheckFile(*v, CoreEvaluator(*v, {}), [&](const CheckPoint&) { ++points; });
    benchmark::DoNotOptimize(points);
  }
}

BENCHMARK(BM_CatWholeFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadAndProcessAllRecords)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ReadAheadAndProcessAllRecords)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Export)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CheckFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->ArgsProduct({{1, 2, 3}, {0}})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CatFieldSurvey)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->Args({2, 2})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_ExportWithChargeability)->Args({2, 1})->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CatFieldSurvey)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2)
    ->Name("BM_CatFieldSurvey_again");
BENCHMARK(BM_CatWholeFile)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2)->Name("BM_CatWholeFile_again");

}  // namespace
