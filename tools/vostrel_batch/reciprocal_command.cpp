// reciprocal: the normal/reciprocal pairs of a survey, their errors and the error model.

#include <algorithm>
#include <cmath>

#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "formats/plain_number.h"
#include "vostrel_batch/arguments.h"
#include "vostrel_batch/commands.h"
#include "vostrel_batch/file_runner.h"

namespace {

// The q-quantile of the sorted values x_0..x_{n-1}: at h = q·(n − 1), between x_⌊h⌋ and
// the next value in proportion, so that the median of an even count is the mean of
// the middle two.
double Quantile(std::vector<double> values, double q) {
  if (values.empty()) return std::nan("");
  std::sort(values.begin(), values.end());
  const double h = q * double(values.size() - 1);
  const size_t below = static_cast<size_t>(h);
  if (below + 1 >= values.size()) return values.back();
  return values[below] + (h - double(below)) * (values[below + 1] - values[below]);
}

}  // namespace

int ReciprocalCommand(const std::vector<std::string>& words) {
  Arguments arguments(words, {"--flip-sign", "--abs-du"}, {});
  if (arguments.Plain().size() != 1) throw UsageError("one measurement file expected");
  const RecordOptions options{arguments.Flag("--flip-sign"), arguments.Flag("--abs-du")};
  return ForEachFile(arguments.Plain(), 1, [&](const std::string& file, FileOutput& output) {
    OpenedSurvey opened = OpenSurvey(file);
    for (const std::string& warning : opened.report.warnings) output.err += file + ": " + warning + "\n";
    const Survey& v = *opened.survey;
    const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(MeasureSurvey(v, options));
    output.out +=
        std::to_string(pairs.size()) + " normal/reciprocal pairs among " + std::to_string(v.RecordCount) + " records\n";
    output.out += "normal reciprocal R_normal R_reciprocal error\n";
    std::vector<double> sizes;
    for (const ReciprocalPair& pair : pairs) {
      output.out += std::to_string(pair.normal) + " " + std::to_string(pair.reciprocal) + " " +
                    PlainNumber(pair.r_normal) + " " + PlainNumber(pair.r_reciprocal) + " " + PlainNumber(pair.error) +
                    "\n";
      sizes.push_back(std::fabs(pair.error));
    }
    output.out += "|error|: median " + PlainNumber(Quantile(sizes, 0.5), 3) + " p90 " +
                  PlainNumber(Quantile(sizes, 0.9), 3) + " max " + PlainNumber(Quantile(sizes, 1.0), 3) + "\n";
    const ErrorModel model = FitErrorModel(pairs);
    output.out += "model: " + ErrorModelText(model) + ", " + std::to_string(model.bins) + " bins\n";
  });
}
