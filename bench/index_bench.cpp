// Opening a survey: the time must follow the number of blocks, not the size of the curves.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench_support.h"
#include "measurement/index_file.h"
#include "measurement/survey.h"

namespace {

void IndexSurvey(benchmark::State& state, const std::string& file) {
  auto v = std::make_unique<Survey>();
  v->DataFileName = file;
  DataFile data_file;
  for (auto _ : state) {
    IndexFile(*v, data_file);
    benchmark::DoNotOptimize(v->RecordCount);
  }
  state.counters["records"] = v->RecordCount;
  state.counters["blocks"] = v->BlockCount;
}

void BM_Index10000Records(benchmark::State& state) { IndexSurvey(state, TenThousandRecordSurvey(true)); }
void BM_Index10000RecordsShortCurves(benchmark::State& state) {
  IndexSurvey(state, TenThousandRecordShortCurveSurvey());
}
void BM_Index100000EmptyBlocks(benchmark::State& state) { IndexSurvey(state, EmptyBlockSurvey()); }

BENCHMARK(BM_Index10000Records)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index10000RecordsShortCurves)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Index100000EmptyBlocks)->Unit(benchmark::kMillisecond);

}  // namespace
