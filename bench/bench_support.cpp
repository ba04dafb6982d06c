#include "bench_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "measurement/synthetic_survey.h"

namespace {

std::filesystem::path BenchDir() {
  const char* dir = std::getenv("VOSTREL_BENCH_DIR");
  std::filesystem::path path = dir ? dir : "/tmp/vostrel-bench";
  std::filesystem::create_directories(path);
  return path;
}

std::string Ensure(const std::string& name, const SynthOptions& options) {
  std::filesystem::path path = BenchDir() / name;
  if (!std::filesystem::exists(path)) WriteSyntheticSurvey(path.string(), options);
  return path.string();
}

}  // namespace

std::string TenThousandRecordSurvey(bool sparse) {
  SynthOptions o;
  o.blocks = 500;
  o.channels = 20;
  o.half_period = 1000;
  o.second_length = 1000;
  o.period_count = 4;
  o.sparse = sparse;
  return Ensure(sparse ? "survey-10000-sparse.qmr" : "survey-10000.qmr", o);
}

std::string TenThousandRecordShortCurveSurvey() {
  SynthOptions o;
  o.blocks = 500;
  o.channels = 20;
  o.half_period = 10;
  o.second_length = 10;
  o.period_count = 4;
  return Ensure("survey-10000-short-curves.qmr", o);
}

std::string EmptyBlockSurvey() {
  SynthOptions o;
  o.blocks = 100000;
  o.channels = 0;
  o.half_period = 10;
  o.second_length = 10;
  o.period_count = 1;
  return Ensure("survey-100000-empty-blocks.qmr", o);
}

double CatSeconds(const std::string& file) {
  std::string command = "cat '" + file + "' > /dev/null";
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
