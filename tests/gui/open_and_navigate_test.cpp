// Opening a survey from the window, moving between its records, and the export.

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QMenu>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "form_fixture.h"
#include "geometry/apparent_resistivity.h"
#include "main/integer_text.h"
#include "measurement/record_identification.h"
#include "measurement/record_loader.h"
#include "processing/record_pass.h"
#include "processing/record_processor.h"
#include "processing/resistivity_line.h"
#include "processing/summary_line.h"
#include "vari.h"

namespace {

TEST_F(FormTest, StartsWithTheDesignedTexts) {
  EXPECT_EQ(form_->windowTitle(), "vostrel, ver 0.4,  2.11.2012");
  EXPECT_EQ(Text("lNumber"), "1234");
  EXPECT_EQ(Text("Label1"), "n");
  EXPECT_EQ(Text("Label2"), "t рабочее (полупериод)");
  EXPECT_EQ(Control<QPushButton>("OpenB")->text(), "Открыть файл");
  EXPECT_EQ(Control<QCheckBox>("AutoSaveBox")->text(), "АвтоЗапись");
  EXPECT_FALSE(Control<QCheckBox>("AbsBox")->isChecked());
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
}

TEST_F(FormTest, OpenShowsRecordOneAndTheCounts) {
  std::string path = Survey("line.qmr");
  Open(path);
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path));
  EXPECT_EQ(Text("Edit1"), "N=12   n=3");
  EXPECT_EQ(Text("Label1"), "A=1  B=2  M=3  N=4    nCh=1  nImp=1");
  EXPECT_EQ(Text("lNumber"), "1");
  EXPECT_EQ(Text("Label2"), "20 (100)");
  EXPECT_TRUE(Text("Panel2Caption").startsWith("dU=")) << Text("Panel2Caption").toStdString();
  EXPECT_TRUE(Text("Panel2Caption").contains("%    I=")) << Text("Panel2Caption").toStdString();
  EXPECT_EQ(shown_, std::vector<int>{1});
  EXPECT_TRUE(vari.FileLoaded);
  EXPECT_EQ(Control<QSlider>("TrackBar1")->maximum(), 11);
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(FormTest, CancelledDialogChangesNothing) {
  Open(Survey("line.qmr"));
  Open("");
  EXPECT_TRUE(vari.FileLoaded);
  EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(FormTest, TypedRecordNumbers) {
  Open(Survey("line.qmr"));
  TypeRecordNumber("5");
  EXPECT_EQ(RecordOnShow(), 5);
  TypeRecordNumber("3");
  EXPECT_EQ(RecordOnShow(), 3);
  EXPECT_EQ(Text("lNumber"), "3");
  TypeRecordNumber("3");
  EXPECT_EQ(shown_, (std::vector<int>{1, 5, 3})) << "the record on show is not loaded again";

  for (const char* ignored : {"0", "-2", "2x", "", "13", "7 "}) {
    TypeRecordNumber(ignored);
    EXPECT_EQ(RecordOnShow(), 3) << ignored;
    EXPECT_EQ(Text("lNumber"), ignored) << "the typed text stays";
  }
  TypeRecordNumber("   7");
  EXPECT_EQ(RecordOnShow(), 7);
  EXPECT_EQ(Text("lNumber"), "7");
  TypeRecordNumber("+8");
  EXPECT_EQ(RecordOnShow(), 8);
  TypeRecordNumber("$A");
  EXPECT_EQ(RecordOnShow(), 10);
  EXPECT_EQ(Text("lNumber"), "10");
}

TEST(IntegerText, TheStandardConversion) {
  EXPECT_EQ(IntegerFromText("  7"), 7);
  EXPECT_EQ(IntegerFromText("-2"), -2);
  EXPECT_EQ(IntegerFromText("0x1f"), 31);
  EXPECT_EQ(IntegerFromText("x10"), 16);
  EXPECT_EQ(IntegerFromText("-$A"), -10);
  EXPECT_EQ(IntegerFromText("2147483647"), 2147483647);
  EXPECT_EQ(IntegerFromText("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", " ", "+", "$", "0x", "2147483648", "7 ", "1.5", "12a", "$G"})
    EXPECT_FALSE(IntegerFromText(bad).has_value()) << bad;
}

TEST_F(FormTest, NothingGatedActsBeforeAnOpen) {
  TypeRecordNumber("1");
  EXPECT_EQ(Text("lNumber"), "1");
  Control<QSlider>("TrackBar1")->setValue(3);
  Click("CheckB");
  EXPECT_TRUE(shown_.empty());
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(FormTest, ASurveyWithoutRecordsIsNotOpened) {
  Open(Survey("line.qmr"));
  TestSurvey empty;
  empty.Write(dir_.File("empty.qmr"));
  Open(dir_.File("empty.qmr"));
  ASSERT_EQ(messages_.Messages().size(), 1u) << "a survey without a record is not opened";
  EXPECT_EQ(messages_.Messages()[0], dir_.File("empty.qmr") + ": съёмка не открыта: в ней нет ни одной записи");
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(dir_.File("line.qmr")));
  EXPECT_EQ(Text("Edit1"), "N=12   n=3");
  EXPECT_TRUE(vari.FileLoaded);
  EXPECT_EQ(Control<QSlider>("TrackBar1")->value(), 0);
  EXPECT_EQ(Text("Label1"), "A=1  B=2  M=3  N=4    nCh=1  nImp=1");
  EXPECT_EQ(Text("Label2"), "20 (100)");
  TypeRecordNumber("2");
  EXPECT_EQ(shown_.size(), 2u) << "the survey on show is walked through";
}

TEST_F(FormTest, SecondOpenReturnsToRecordOneWithOneLoad) {
  Open(Survey("line.qmr"));
  TypeRecordNumber("6");
  SynthOptions other = SmallSurvey();
  other.blocks = 2;
  Open(Survey("other.qmr", other));
  EXPECT_EQ(shown_, (std::vector<int>{1, 6, 1}));
  EXPECT_EQ(RecordOnShow(), 1);
  EXPECT_EQ(Text("Edit1"), "N=8   n=2");
}

// Record 1 of each new survey is processed with that survey's own window, as the core
// computes it, and the index-full message reaches the error box.
TEST_F(FormTest, EachOpenShowsRecordOneAsTheCoreComputesIt) {
  auto core_line = [](const std::string& path) {
    PassOptions pass;
    pass.records = {1};
    pass.drawing = true;
    std::string line;
    RecordPass(*OpenSurvey(path).survey, pass,
               [&](const RecordRow& row) { line = SummaryLine(row.evaluation.result, *row.drawing); });
    return QString::fromStdString(line);
  };
  SynthOptions long_half_periods = SmallSurvey();
  long_half_periods.half_period = long_half_periods.second_length = 400;  // a window of 120
  for (const std::string& path : {Survey("short.qmr"), Survey("long.qmr", long_half_periods), Survey("short.qmr")}) {
    Open(path);
    EXPECT_EQ(Text("Panel2Caption"), core_line(path)) << path;
  }
  EXPECT_EQ(Text("Label2"), "20 (100)");

  TestSurvey full;
  full.header = {1000, 0, 0, 0};
  full.blocks.assign(501, SimpleBlock(20));
  full.Write(dir_.File("full.qmr"));
  Open(dir_.File("full.qmr"));
  EXPECT_EQ(messages_.Messages(), std::vector<std::string>{"Слишком много данных.\n\rМаксимум=10000"});
  EXPECT_EQ(Text("Edit1"), "N=10000   n=500");
}

// The record's K, R and ρa beside the designed controls, and the exchange formats
// written from the window; no designed control moves for them.
TEST_F(FormTest, ResistivityOfTheRecordAndTheExchangeFormats) {
  SynthOptions physical = SmallSurvey();
  physical.physical = true;
  physical.rho_ohm_m = 80;
  const std::string path = Survey("dd.qmr", physical);
  Open(path);
  TypeRecordNumber("3");
  PassOptions pass;
  pass.records = {3};
  Resistivity expected{};
  RecordPass(*OpenSurvey(path).survey, pass, [&](const RecordRow& row) { expected = row.evaluation.resistivity; });
  EXPECT_EQ(Text("ResistivityLabel").toStdString(), ResistivityLine(expected));
  EXPECT_NEAR(expected.rhoa, 80, 0.5);
  EXPECT_EQ(Control<QPushButton>("SaveB")->geometry(), QRect(1, 31, 97, 25));
  EXPECT_EQ(Control<QCheckBox>("SignBox")->geometry().topLeft(), QPoint(727, 31));

  auto* formats = Control<QComboBox>("ExportFormatBox");
  formats->setCurrentText("ohm");
  Click("ExportB");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("dd.ohm")));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("dd.TXT"))) << "the button writes the chosen format only";
  EXPECT_TRUE(messages_.Messages().empty());
  auto* notice = Control<QLabel>("NoticeLabel");
  EXPECT_TRUE(notice->isVisible()) << "the window says what it wrote";
  EXPECT_EQ(notice->text().toStdString(), "Записан " + dir_.File("dd.ohm") + ": записей 12");
  EXPECT_GE(notice->y(), Control<QWidget>("Panel1")->mapToGlobal(QPoint(0, Control<QWidget>("Panel1")->height())).y())
      << "over the charts, not the controls";
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());

  std::filesystem::create_directory(dir_.File("dd.csv"));  // a name the table cannot take
  formats->setCurrentText("csv");
  Click("ExportB");
  EXPECT_FALSE(messages_.Messages().empty());
  EXPECT_FALSE(notice->isVisible()) << "a failed export shows no news of the last one";
}

// "Перевернуть dU" and "Модуль dU" act on the record on show at once: its curve, its
// summary, K, R and ρa and its marker on the error chart, as the core computes them.
TEST_F(FormTest, TheSignBoxesActOnTheRecordOnShowAtOnce) {
  SynthOptions physical = SmallSurvey();
  physical.physical = true;
  physical.rho_ohm_m = 80;
  const std::string path = Survey("dd.qmr", physical);
  auto core = [&](RecordOptions options) {
    PassOptions pass;
    pass.records = {3};
    pass.record = options;
    pass.drawing = true;
    std::pair<QString, QString> lines;
    RecordPass(*OpenSurvey(path).survey, pass, [&](const RecordRow& row) {
      lines = {QString::fromStdString(SummaryLine(row.evaluation.result, *row.drawing)),
               QString::fromStdString(ResistivityLine(row.evaluation.resistivity))};
    });
    return lines;
  };
  Open(path);
  Click("CheckB");
  TypeRecordNumber("3");
  ASSERT_TRUE(Text("Panel2Caption").startsWith("dU=-")) << "a dipole-dipole record";
  const double sample = Control<Chart>("ChartVoltage")->SeriesAt(0).Points().at(500).y;
  auto marker = [this] { return Control<Chart>("Chart2")->SeriesAt(1).Points().at(0).y; };
  EXPECT_EQ(marker(), 50);

  Control<QCheckBox>("SignBox")->setChecked(true);
  EXPECT_EQ(std::make_pair(Text("Panel2Caption"), Text("ResistivityLabel")), core({.flip_sign = true}));
  EXPECT_EQ(Control<Chart>("ChartVoltage")->SeriesAt(0).Points().at(500).y, -sample);
  EXPECT_LT(marker(), 1);
  EXPECT_EQ(RecordOnShow(), 3);

  Control<QCheckBox>("SignBox")->setChecked(false);
  Control<QCheckBox>("AbsBox")->setChecked(true);
  EXPECT_EQ(std::make_pair(Text("Panel2Caption"), Text("ResistivityLabel")), core({.abs_du = true}));
  EXPECT_TRUE(Text("ResistivityLabel").contains("rhoa=80.")) << Text("ResistivityLabel").toStdString();
  EXPECT_LT(marker(), 1);
}

// Exports go to the folder chosen in the export folder's menu, kept across runs, under
// the names they have beside the survey; the survey's own folder is the default.
TEST_F(FormTest, ExportsGoToTheChosenFolder) {
  const std::string path = Survey("line.qmr");
  const std::string tables = dir_.File("tables");
  std::filesystem::create_directory(tables);
  Open(path);
  form_->SetFolderDialog([&](QWidget*, const QString&) { return QString::fromStdString(tables); });
  Control<QToolButton>("ExportFolderB")->menu()->actions().last()->trigger();
  Click("SaveB");
  EXPECT_TRUE(std::filesystem::exists(tables + "/line.TXT"));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("line.TXT")));

  form_ = std::make_unique<TMainForm>();  // a new run of the program
  form_->show();
  Open(path);
  QMenu* menu = Control<QToolButton>("ExportFolderB")->menu();
  ASSERT_EQ(menu->actions().size(), 4);
  EXPECT_FALSE(menu->actions()[0]->isChecked());
  EXPECT_TRUE(menu->actions()[1]->isChecked());
  EXPECT_EQ(menu->actions()[1]->text(), QString::fromStdString(tables));
  Control<QComboBox>("ExportFormatBox")->setCurrentText("res2dinv");
  Click("ExportB");
  EXPECT_TRUE(std::filesystem::exists(tables + "/line.dat"));

  menu->actions()[0]->trigger();  // back to the survey's folder
  Click("SaveB");
  EXPECT_TRUE(std::filesystem::exists(dir_.File("line.TXT")));
  EXPECT_TRUE(Control<QToolButton>("ExportFolderB")->menu()->actions()[0]->isChecked());
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(FormTest, AutomaticExportAfterRecordOne) {
  auto* auto_save = Control<QCheckBox>("AutoSaveBox");
  QTest::mouseClick(auto_save, Qt::LeftButton, {}, QPoint(4, auto_save->height() / 2));
  ASSERT_TRUE(auto_save->isChecked());
  EXPECT_FALSE(Control<QPushButton>("SaveB")->isEnabled());
  std::string path = Survey("line.qmr");
  Open(path);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("line.TXT")));
  EXPECT_EQ(shown_, std::vector<int>{1});
  EXPECT_EQ(Text("lNumber"), "1");
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
  auto_save->setChecked(false);
  EXPECT_TRUE(Control<QPushButton>("SaveB")->isEnabled());
}

TEST_F(FormTest, ExportFromTheButtonAndItsFailures) {
  Click("SaveB");
  ASSERT_EQ(messages_.Messages().size(), 1u) << "nothing to export before an open";
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());

  std::string path = Survey("line.qmr");
  Open(path);
  Click("SaveB");
  EXPECT_EQ(ReadWholeFile(dir_.File("line.TXT")).size() > 0, true);
  auto table = ReadWholeFile(dir_.File("line.TXT"));

  // A table that cannot be written is named, with the way to another folder.
  std::filesystem::permissions(dir_.File("line.TXT"), std::filesystem::perms::owner_read);
  Click("SaveB");
  ASSERT_EQ(messages_.Messages().size(), 2u);
  EXPECT_EQ(messages_.Messages()[1], "Нет доступа на запись: " + dir_.File("line.TXT") +
                                         "\nЭкспорт можно направить в другую папку: «Папка» → «Другая папка…».");
  std::filesystem::permissions(dir_.File("line.TXT"), std::filesystem::perms::owner_all);

  Truncate(path, 5000);
  Click("SaveB");
  ASSERT_EQ(messages_.Messages().size(), 3u);
  EXPECT_EQ(messages_.Messages()[2], "Read beyond end of file");
  EXPECT_EQ(ReadWholeFile(dir_.File("line.TXT")), table);
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
}

// The file dialogs offer the program's own files by their kind.
TEST_F(FormTest, TheFileDialogsFilterSurveysAndLines) {
  QStringList filters;
  auto answer = [&] {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      filters << dialog->nameFilters();
      dialog->reject();
    });
  };
  answer();
  Click("OpenB");
  answer();
  for (QAction* action : Control<QToolButton>("LineB")->menu()->actions())
    if (action->text() == "Открыть профиль…") action->trigger();
  EXPECT_EQ(filters, (QStringList{"Съёмки (*.qmr)", "Профили (*.vln)"}));
}

TEST_F(FormTest, VanishedFileShowsTheErrorBoxAndTheWindowStaysUsable) {
  std::string path = Survey("line.qmr");
  Open(path);
  std::filesystem::rename(path, dir_.File("moved.qmr"));
  TypeRecordNumber("4");
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0], "File not found");
  EXPECT_TRUE(vari.FileLoaded);
  EXPECT_EQ(RecordOnShow(), 4) << "the track bar keeps its new position";

  Open(dir_.File("absent.qmr"));
  ASSERT_EQ(messages_.Messages().size(), 2u);
  EXPECT_EQ(messages_.Messages()[1], dir_.File("absent.qmr") + ": File not found");
  EXPECT_EQ(form_->windowTitle(), QString::fromStdString(path)) << "the survey on show keeps its name";
  Open(dir_.File("moved.qmr"));
  EXPECT_TRUE(vari.FileLoaded);
}

// A number with no record behind it is refused where it was typed: the record on show
// stays, the text stays selected for another try, and a notice gives the records there are.
TEST_F(FormTest, ARecordNumberThereIsNotIsRefusedVisibly) {
  Open(Survey("line.qmr"));
  TypeRecordNumber("4");
  auto* number = Control<QLineEdit>("lNumber");
  auto* notice = Control<QLabel>("NoticeLabel");
  for (const QString typed : {"999", "0", "abc", "-5", "13"}) {
    notice->hide();
    TypeRecordNumber(typed);
    EXPECT_EQ(RecordOnShow(), 4) << typed.toStdString();
    EXPECT_EQ(number->selectedText(), typed) << "ready to be typed over";
    EXPECT_TRUE(number->hasFocus() || !QApplication::activeWindow());
    EXPECT_TRUE(notice->isVisible()) << typed.toStdString();
    EXPECT_EQ(notice->text(), "Записи «" + typed + "» нет: номера записей 1..12");
  }
  TypeRecordNumber("12");
  EXPECT_EQ(RecordOnShow(), 12);
  EXPECT_TRUE(messages_.Messages().empty());
}

// From the open on, the keys walk the records: the bar has them, and PageUp and PageDown
// step ten records where the bar's own page is none (below 200 records).
TEST_F(FormTest, TheKeysWalkTheRecordsFromTheOpenOnPageKeysToo) {
  QApplication::setActiveWindow(form_.get());
  Open(Survey("line.qmr", {.blocks = 8, .channels = 4, .half_period = 100, .second_length = 100, .period_count = 2}));
  auto* bar = Control<QSlider>("TrackBar1");
  ASSERT_EQ(bar->pageStep(), 0);
  EXPECT_EQ(QApplication::focusWidget(), bar);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
  EXPECT_EQ(RecordOnShow(), 11);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
  EXPECT_EQ(RecordOnShow(), 31);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
  EXPECT_EQ(RecordOnShow(), 32) << "the last record";
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
  EXPECT_EQ(RecordOnShow(), 22);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  EXPECT_EQ(RecordOnShow(), 23);
}

TEST_F(FormTest, TrackBarStepFollowsTheRecordCount) {
  for (auto [records, step] : {std::pair{150, 0}, {200, 25}, {1039, 25}, {1040, 50}, {10000, 250}}) {
    TestSurvey survey;
    survey.header = {1000, 0, 0, 1};  // empty curves keep a large index small
    for (int left = records; left > 0; left -= 20) survey.blocks.push_back(SimpleBlock(std::min(left, 20)));
    survey.Write(dir_.File("steps.qmr"));
    Open(dir_.File("steps.qmr"));
    auto* track_bar = Control<QSlider>("TrackBar1");
    EXPECT_EQ(track_bar->maximum(), records - 1);
    EXPECT_EQ(track_bar->pageStep(), step) << records;
    EXPECT_EQ(track_bar->tickInterval(), step) << records;
  }
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(FormTest, ResizeSharesTheHeightBetweenTheCharts) {
  for (auto [client, voltage, current] : {std::tuple{745, 297, 227}, std::tuple{746, 297, 228}}) {
    form_->resize(1000, client);
    QApplication::processEvents();
    EXPECT_EQ(Control<Chart>("ChartVoltage")->height(), voltage) << client;
    EXPECT_EQ(Control<Chart>("Chart2")->height(), 70) << client;
    EXPECT_EQ(Control<Chart>("Chart1")->height(), current) << client;
  }
  form_->resize(400, 120);
  QApplication::processEvents();
  EXPECT_GE(Control<Chart>("ChartVoltage")->height(), 0);
}

// The half-period means and the fitted square wave sit on the voltage curve at any sample
// rate: each mean where the curve has its value, each step of the wave where the curve steps.
TEST_F(FormTest, TheAveragedPointsSitOnTheCurveAtEverySampleRate) {
  for (int32_t rate : {500, 1000, 2000, 1999}) {
    SCOPED_TRACE(rate);
    SynthOptions options = SmallSurvey();
    options.sample_rate = rate;
    options.physical = true;
    Open(Survey("rate.qmr", options));
    Chart* chart = Control<Chart>("ChartVoltage");
    const std::vector<SeriesPoint> curve = chart->SeriesAt(0).Points(), means = chart->SeriesAt(1).Points();
    const double step = 1000.0 / rate;  // ms between samples
    auto curve_at = [&](double x) { return curve.at(static_cast<size_t>(std::lround(x / step))).y; };
    double amplitude = 0;
    for (const SeriesPoint& point : curve) amplitude = std::max(amplitude, std::abs(point.y));
    ASSERT_EQ(means.size(), 8u);
    for (const SeriesPoint& mean : means) EXPECT_NEAR(curve_at(mean.x), mean.y, 0.05 * amplitude) << mean.x;
    // The wave's first step: the end of the first half-period, 100 samples.
    const SeriesPoint corner = chart->SeriesAt(2).Points().at(1);
    EXPECT_NEAR(corner.x, 99 * step, 1e-9);
  }
}

TEST_F(FormTest, ShownRecordIsDrawn) {
  Open(Survey("line.qmr"));
  QApplication::processEvents();
  QImage image = Control<Chart>("ChartVoltage")->grab().toImage();
  int grey = 0, red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60 && c.blue() < 60) ++red;
      if (c.red() == c.green() && c.green() == c.blue() && c.red() > 100 && c.red() < 150) ++grey;
    }
  EXPECT_GT(grey, 200) << "the raw voltage curve";
  EXPECT_GT(red, 100) << "the fitted square wave";
  if (const char* out = std::getenv("VOSTREL_SCREENSHOT")) form_->grab().save(out);
}

}  // namespace

// On a 1024-pixel screen the controls added right of the designed ones share what room
// is left, without covering a designed one; what has none is in the "»" menu, which works.
TEST_F(FormTest, EveryAddedControlIsWithinReachOnANarrowScreen) {
  form_->resize(1024, 700);
  SynthOptions physical = SmallSurvey();
  physical.physical = true;
  Open(Survey("dd.qmr", physical));
  const std::pair<const char*, QRect> designed[] = {{"OpenB", {0, 0, 97, 25}},        {"SaveB", {1, 31, 97, 25}},
                                                    {"lNumber", {130, 16, 72, 27}},   {"LCurrent", {208, 21, 121, 21}},
                                                    {"lVoltage", {352, 21, 121, 21}}, {"Edit1", {479, 21, 121, 21}},
                                                    {"CheckB", {616, 0, 146, 25}}};
  std::vector<QRect> taken;
  for (const auto& [name, place] : designed) {
    EXPECT_EQ(Control<QWidget>(name)->geometry(), place) << name;
    taken.push_back(place);
  }
  for (const char* name : {"AbsBox", "SignBox", "AutoSaveBox", "Label1"})
    taken.push_back(Control<QWidget>(name)->geometry());
  QWidget* panel = Control<QWidget>("Panel1");
  auto in_panel = [&](QWidget* w) { return QRect(w->mapTo(panel, QPoint(0, 0)), w->size()); };
  const QRect room(0, 0, form_->width(), Control<QWidget>("TrackBar1")->y());

  auto* label = Control<QLabel>("ResistivityLabel");
  ASSERT_TRUE(label->text().startsWith("K="));
  EXPECT_TRUE(room.contains(in_panel(label)));
  const QRect text =
      label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 1000), Qt::TextWordWrap, label->text());
  EXPECT_LE(text.width(), label->width());
  EXPECT_LE(text.height(), label->height()) << "K, R and ρa whole";

  auto* more = Control<QToolButton>("MoreB");
  QStringList offered;
  if (more->isVisible()) {
    EXPECT_TRUE(room.contains(in_panel(more)));
    emit more->menu()->aboutToShow();
    for (QAction* action : more->menu()->actions()) offered << action->text();
  }
  for (const char* name : {"ExportFormatBox", "ExportB", "RecentB", "SurveyViewB", "DecayB", "ExportFolderB"}) {
    QWidget* control = Control<QWidget>(name);
    if (!control->isVisible()) {
      const QString text = std::string(name) == "ExportFormatBox" ? "Экспорт" : control->property("text").toString();
      EXPECT_TRUE(offered.contains(text)) << name;
      continue;
    }
    EXPECT_TRUE(room.contains(in_panel(control))) << name;
    for (const QRect& place : taken) EXPECT_FALSE(in_panel(control).intersects(place)) << name;
  }
  ASSERT_TRUE(offered.contains("Разрез")) << "the narrow screen hides the survey view's button";
  for (QAction* action : more->menu()->actions())
    if (action->text() == "Разрез") action->trigger();
  ASSERT_NE(form_->findChild<SurveyView*>("SurveyView"), nullptr);
  EXPECT_TRUE(form_->findChild<SurveyView*>("SurveyView")->isVisible());
}
