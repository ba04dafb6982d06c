// Every file the fuzzer ever found a fault with, and every malformed kind it starts
// from, through the whole core path: a clear error or a silent stop, never a crash.
// The sanitizer build runs these under AddressSanitizer and UBSan.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numeric>

#include "analysis/error_class.h"
#include "formats/table_line.h"
#include "measurement/in_out_error.h"
#include "measurement/record_loader.h"
#include "processing/record_evaluation.h"
#include "processing/record_pass.h"
#include "processing/record_processor.h"
#include "processing/summary_line.h"
#include "synthetic/synthetic_survey.h"
#include "test_support.h"

namespace {

// Indexes the file and passes over every record with every option; returns the error text, if any.
std::string ThroughTheCore(const std::string& path) {
  try {
    const SharedSurvey survey = OpenSurvey(path).survey;
    for (bool flip : {false, true}) {
      for (bool abs_du : {false, true}) {
        PassOptions pass;
        pass.record = {flip, abs_du};
        pass.drawing = true;
        RecordPass(*survey, pass, [&](const RecordRow& row) {
          EXPECT_FALSE(SummaryLine(row.evaluation.result, *row.drawing).empty());
          std::string line = TableLine(ExportFormat::Text, row.k, row.entry, *survey, row.evaluation.result,
                                       row.evaluation.spread_pct);
          EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 8) << line;
          ClassOfError(PlottedError(row.evaluation.result.ErrorPct));
        });
      }
    }
  } catch (const InOutError& error) {
    return error.what();
  }
  return "";
}

TEST(HostileFiles, RegressionCorpusPassesThroughTheCore) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VOSTREL_CORPUS_DIR)) {
    SCOPED_TRACE(entry.path().filename().string());
    ThroughTheCore(entry.path().string());
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST(HostileFiles, FileShrinkingAfterIndexingIsReadBeyondEnd) {
  TempDir dir;
  TestSurvey survey;
  survey.blocks = {SimpleBlock(2), SimpleBlock(2)};
  survey.Write(dir.File("s.qmr"));
  auto v = FreshVari(dir.File("s.qmr"));
  OpenSurvey(*v);
  Truncate(dir.File("s.qmr"), 4200);
  DataFileSession session(v->work.DataFile, v->survey->DataFileName);
  EXPECT_THROW(EvaluateRecord(*v->survey, v->work, 4, {}), InOutError);
}

// A pass over every record gives what one workspace gives record by record, in file
// order, up to the first record that cannot be read or up to a stop, and nothing after.
TEST(HostileFiles, APassGivesItsRowsInFileOrderUpToAFailureOrAStop) {
  TempDir dir;
  const std::string path = dir.File("s.qmr");
  SynthOptions o;
  o.blocks = 9, o.channels = 3, o.period_count = 2;
  WriteSyntheticSurvey(path, o);
  const SharedSurvey survey = OpenSurvey(path).survey;
  struct Given {
    std::vector<std::string> rows;
    std::string error;
  };
  auto pass = [&](std::vector<int> records, size_t stop_after = SIZE_MAX) {
    PassOptions options;
    options.records = std::move(records);
    Given given;
    try {
      RecordPass(*survey, options, [&](const RecordRow& row) {
        given.rows.push_back(std::to_string(row.k) + TableLine(ExportFormat::Text, row.k, row.entry, *survey,
                                                               row.evaluation.result, row.evaluation.spread_pct));
        if (given.rows.size() == stop_after) throw PassCancelled();
      });
    } catch (const std::exception& error) {
      given.error = error.what();
    }
    return given;
  };
  std::vector<int> one_by_one(27);
  std::iota(one_by_one.begin(), one_by_one.end(), 1);
  const Given whole = pass(one_by_one);
  ASSERT_EQ(whole.rows.size(), 27u);
  EXPECT_EQ(pass({}).rows, whole.rows);

  const Given stopped = pass({}, 5);
  EXPECT_EQ(stopped.error, "Cancelled");
  EXPECT_EQ(stopped.rows, std::vector<std::string>(whole.rows.begin(), whole.rows.begin() + 5));

  // Cut inside a record's voltage curve: in the last block, then in the fifth.
  for (int k : {26, 14}) {
    Truncate(path, survey->RecordIndex[static_cast<size_t>(k)].VoltageOffset + 8);
    const Given cut = pass({});
    EXPECT_EQ(cut.error, "Read beyond end of file") << k;
    EXPECT_EQ(cut.rows, std::vector<std::string>(whole.rows.begin(), whole.rows.begin() + k - 1)) << k;
  }
}

TEST(HostileFiles, BadHeaderValuesGiveAnAnswerNotACrash) {
  TempDir dir;
  const std::string path = dir.File("s.qmr");
  const int32_t values[] = {0, -1, 1, 7, 59, 60, 1000, -1000, 0x7FFFFFFF, -0x7FFFFFFF - 1};
  for (int field = 0; field < 4; ++field) {
    for (int32_t value : values) {
      TestSurvey survey;
      survey.header = {1000, 10, 10, 1};
      survey.blocks = {SimpleBlock(2)};
      survey.Write(path);
      PatchInt32(path, 4096 + 4 * field, value);
      SCOPED_TRACE("field " + std::to_string(field) + " = " + std::to_string(value));
      ThroughTheCore(path);
    }
  }
}

// The decay's model is built from the header: one that promises millions of periods or
// a half-period of millions of samples gives records without an answer, quickly.
TEST(HostileFiles, HeaderValuesGiveTheDecayNoAnswerQuickly) {
  TempDir dir;
  const std::string path = dir.File("s.qmr");
  for (int field : {1, 3}) {
    for (int32_t value : {1000000, 0x7FFFFFFF}) {
      TestSurvey survey;
      survey.header = {1000, 10, 10, 2};
      survey.blocks = {SimpleBlock(2)};
      survey.Write(path);
      PatchInt32(path, 4096 + 4 * field, value);
      SCOPED_TRACE("field " + std::to_string(field) + " = " + std::to_string(value));
      try {
        PassOptions pass;
        pass.ip = IpSettings{.gates = {}, .cleaning = {}, .decay_fit = true};
        RecordPass(*OpenSurvey(path).survey, pass,
                   [&](const RecordRow& row) { EXPECT_TRUE(std::isnan(row.evaluation.ip->m)); });
      } catch (const InOutError&) {
      }
    }
  }
}

}  // namespace
