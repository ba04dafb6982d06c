#include "bench_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "line/line_project.h"
#include "synthetic/synthetic_survey.h"

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
  return Ensure(
      sparse ? "survey-10000-sparse.qmr" : "survey-10000.qmr",
      {.blocks = 500, .channels = 20, .half_period = 1000, .second_length = 1000, .period_count = 4, .sparse = sparse});
}

std::string TenThousandRecordFieldSurvey(bool hum) {
  SynthOptions o{.blocks = 500, .channels = 20, .half_period = 1000, .second_length = 1000, .period_count = 4};
  o.physical = true;
  o.chargeability_mv_v = 30;
  o.tau_ms = 100;
  o.sp_mv = 10;
  o.drift_mv_per_s = 0.3;
  o.hum_mv = hum ? 2 : 0;
  o.hum_hz = 50.3;
  o.spikes_per_s = 0.5;
  return Ensure(hum ? "survey-10000-field.qmr" : "survey-10000-field-without-hum.qmr", o);
}

std::string TenThousandRecordShortCurveSurvey() {
  return Ensure("survey-10000-short-curves.qmr",
                {.blocks = 500, .channels = 20, .half_period = 10, .second_length = 10, .period_count = 4});
}

std::string LineSpreadSurvey(int i) {
  SynthOptions o{.blocks = 100, .channels = 20, .half_period = 500, .second_length = 1000, .period_count = 2};
  o.physical = true;
  o.seed = static_cast<uint64_t>(i + 1);
  return Ensure("line-spread-" + std::to_string(i) + ".qmr", o);
}

std::string TenSpreadLine() {
  const std::filesystem::path folder = std::filesystem::path(LineSpreadSurvey(0)).parent_path();
  const std::string path = (folder / "line-10.vln").string();
  LineProject project;
  for (int i = 0; i < 10; ++i) {
    const std::string survey = LineSpreadSurvey(i);
    project.surveys.push_back({ProjectRelativeName(path, survey), 60.0 * i, StampOf(survey)});
  }
  project.topography = {{{-10, 100}, {400, 130}, {900, 90}}, false};
  WriteLineProject(path, project);
  return path;
}

std::string EmptyBlockSurvey() {
  return Ensure("survey-100000-empty-blocks.qmr",
                {.blocks = 100000, .channels = 0, .half_period = 10, .second_length = 10, .period_count = 1});
}

double CatSeconds(const std::string& file) {
  std::string command = "cat '" + file + "' > /dev/null";
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) return 0;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
