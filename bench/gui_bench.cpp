// The window on the offscreen platform at 1920 x 1080: showing one record of the
// 10000-record survey (load, draw, replot), and the file check from the window
// against the batch tool's check of the same file.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <cstdlib>

#include "bench_support.h"
#include "main/main_form.h"
#include "output/file_check.h"
#include "processing/record_evaluation.h"
#include "vari.h"

namespace {

TMainForm& OpenedForm() {
  static TMainForm* form = [] {
    auto* f = new TMainForm;
    f->resize(1920, 1080);
    f->show();
    std::string survey = TenThousandRecordSurvey(false);
    f->SetOpenDialog([survey](QWidget*) { return QString::fromStdString(survey); });
    f->findChild<QPushButton*>("OpenB")->click();
    QApplication::processEvents();
    return f;
  }();
  return *form;
}

void BM_ShowOneRecord(benchmark::State& state) {
  TMainForm& form = OpenedForm();
  auto* track_bar = form.findChild<QSlider*>("TrackBar1");
  int position = 0;
  for (auto _ : state) {
    position = (position + 37) % vari.RecordCount;
    track_bar->setValue(position);
    QApplication::processEvents();  // the queued replot and the repaint
  }
}

void BM_CheckFromTheWindow(benchmark::State& state) {
  TMainForm& form = OpenedForm();
  auto* check = form.findChild<QPushButton*>("CheckB");
  auto* progress = form.findChild<QProgressBar*>("ProgressBar1");
  for (auto _ : state) {
    check->click();
    // The check runs beside the window: it is over when its progress bar goes.
    while (progress->isVisible()) QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
}

void BM_CheckInTheBatchTool(benchmark::State& state) {
  auto v = std::make_unique<Vari>();
  v->DataFileName = TenThousandRecordSurvey(false);
  OpenSurvey(*v);
  for (auto _ : state) {
    int points = 0;
    CheckFile(*v, CoreEvaluator(*v, {}), [&](const CheckPoint&) { ++points; });
    benchmark::DoNotOptimize(points);
  }
}

BENCHMARK(BM_ShowOneRecord)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckInTheBatchTool)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_CheckFromTheWindow)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_CheckInTheBatchTool)->Unit(benchmark::kMillisecond)->MinTime(3)->Name("BM_CheckInTheBatchTool_again");

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
