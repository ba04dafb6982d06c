// Charts saved as images for reports: valid PNG, SVG and PDF files that show the data.

#include <QApplication>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <filesystem>

#include "form_fixture.h"
#include "views/survey_view.h"

namespace {

// The pixel column (row) of `chart` nearest to an axis value.
int PixelOf(ChartAxis& axis, double value, int extent) {
  int best = 0;
  for (int p = 1; p < extent; ++p)
    if (std::abs(axis.ValueAtPixel(p) - value) < std::abs(axis.ValueAtPixel(best) - value)) best = p;
  return best;
}

TEST_F(FormTest, ChartsAreSavedAsImagesThatShowTheData) {
  Open(
      Survey("line.qmr",
             {.blocks = 3, .channels = 4, .half_period = 100, .second_length = 100, .period_count = 2, .noise_mv = 0}));
  Click("CheckB");
  Chart* chart = Control<Chart>("Chart2");
  chart->ReplotNow();
  const SeriesPoint point = chart->SeriesAt(0).Points().at(5);
  const int x = PixelOf(chart->BottomAxis(), point.x, chart->width());
  const int y = PixelOf(chart->LeftAxis(), point.y, chart->height());

  const std::string png = dir_.File("errors.png");
  ASSERT_TRUE(chart->SaveImage(QString::fromStdString(png)));
  QImage image(QString::fromStdString(png));
  ASSERT_FALSE(image.isNull()) << "the PNG decodes";
  EXPECT_EQ(image.size(), chart->size()) << "the size shown";
  EXPECT_EQ(image.pixelColor(x, y).rgb(), point.colour.rgb()) << "the square of record 6 where the chart shows it";

  ASSERT_TRUE(chart->SaveImage(QString::fromStdString(dir_.File("wide.png")), QSize(1600, 300)));
  EXPECT_EQ(QImage(QString::fromStdString(dir_.File("wide.png"))).size(), QSize(1600, 300)) << "a chosen size";

  ASSERT_TRUE(Control<Chart>("ChartVoltage")->SaveImage(QString::fromStdString(dir_.File("voltage.svg"))));
  QSvgRenderer svg(QString::fromStdString(dir_.File("voltage.svg")));
  EXPECT_TRUE(svg.isValid()) << "the SVG parses";

  ASSERT_TRUE(SaveChartsImage(QString::fromStdString(dir_.File("record.pdf")),
                              {Control<Chart>("Chart1"), Control<Chart>("ChartVoltage")}));
  const auto pdf = ReadWholeFile(dir_.File("record.pdf"));
  ASSERT_GT(pdf.size(), 1000u);
  EXPECT_EQ(std::string(pdf.begin(), pdf.begin() + 5), "%PDF-");
  EXPECT_NE(std::string(pdf.end() - 8, pdf.end()).find("%%EOF"), std::string::npos);

  EXPECT_FALSE(chart->SaveImage(QString::fromStdString(dir_.File("no-such-folder/x.png"))));
  EXPECT_FALSE(chart->SaveImage(QString::fromStdString(dir_.File("errors.bmp")))) << "PNG, SVG or PDF only";
}

// What the chart's menu saves or refuses, and the reason the user is given.
TEST_F(FormTest, PicturesAskedForAreSavedOrRefusedWithTheReason) {
  Open(Survey("line.qmr"));
  Chart* chart = Control<Chart>("ChartVoltage");
  auto saved = [&](const char* name, QSize size) {
    return chart->SaveImageAsked(QString::fromStdString(dir_.File(name)), size).toStdString();
  };
  EXPECT_EQ(saved("chart.jpg", {}),
            "Картинка сохраняется в форматах PNG, SVG и PDF: имя должно кончаться на .png, .svg или .pdf");
  const std::string too_large = "Размер картинки: от 1 до 8000 пикселей по стороне и не больше 20 млн пикселей всего";
  EXPECT_EQ(saved("tall.png", {100, 8001}), too_large);
  EXPECT_EQ(saved("huge.png", {5000, 4001}), too_large) << "20 004 000 pixels";
  EXPECT_EQ(saved("none.svg", {0, 0}), too_large) << "what a size that is no number gives";
  for (const char* name : {"chart.jpg", "tall.png", "huge.png", "none.svg"})
    EXPECT_FALSE(std::filesystem::exists(dir_.File(name))) << name;
  EXPECT_EQ(saved("chart.png", {300, 200}), "");
  EXPECT_EQ(QImage(QString::fromStdString(dir_.File("chart.png"))).size(), QSize(300, 200));
  EXPECT_EQ(saved("no-such-folder/chart.png", {}), "File access denied");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor goes when done";
}

TEST_F(FormTest, ARightClickOffersToSaveTheChart) {
  Open(Survey("line.qmr"));
  QWidget* plot = PlotOf(Control<Chart>("ChartVoltage"));
  QTest::mouseClick(plot, Qt::RightButton, {}, QPoint(100, 50));
  auto* menu = Control<Chart>("ChartVoltage")->findChild<QMenu*>("ImageMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->actions().size(), 4);
  EXPECT_TRUE(menu->actions()[0]->text().startsWith("Сохранить PNG"));
  // The size it proposes is that of the whole picture "Сохранить PNG…" writes: both
  // record charts and their title, not the chart clicked.
  QString proposed;
  QTimer::singleShot(50, [&] {
    if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
      proposed = dialog->textValue();
      dialog->reject();
    }
  });
  menu->actions()[3]->trigger();
  QTRY_VERIFY(!proposed.isEmpty());
  ASSERT_EQ(Control<Chart>("ChartVoltage")->SaveImageAsked(QString::fromStdString(dir_.File("shown.png"))), "");
  const QSize written = QImage(QString::fromStdString(dir_.File("shown.png"))).size();
  EXPECT_EQ(proposed, QString("%1x%2").arg(written.width()).arg(written.height()));
}

}  // namespace

// At every sample rate the half-period means stand on their curve and the square wave
// within it, in milliseconds as the curves are; each window's square wave is a piece of
// its own, never joined back to the start of the next window.
TEST_F(FormTest, RecordPointsAndSquareWaveStandOnTheirCurvesAtEveryRate) {
  for (int rate : {500, 1000, 1024, 2000}) {
    SCOPED_TRACE(rate);
    SynthOptions o{.blocks = 1,
                   .channels = 1,
                   .sample_rate = rate,
                   .half_period = 200,
                   .second_length = 200,
                   .period_count = 3,
                   .noise_mv = 0,
                   .physical = true,
                   .rho_ohm_m = 100};
    o.drift_mv_per_s = 40;  // each window's level its own
    Open(Survey("rate" + std::to_string(rate) + ".qmr", o));
    Chart* voltage = Control<Chart>("ChartVoltage");
    const std::vector<SeriesPoint> curve = voltage->SeriesAt(0).Points(), means = voltage->SeriesAt(1).Points(),
                                   wave = voltage->SeriesAt(2).Points();
    ASSERT_GT(curve.size(), 1000u);
    EXPECT_DOUBLE_EQ(curve.back().x, double(curve.size() - 1) * 1000 / rate);
    double amplitude = 0;
    for (const SeriesPoint& p : curve) amplitude = std::max(amplitude, std::abs(p.y));
    ASSERT_GE(means.size(), 6u);
    for (const SeriesPoint& mean : means) {
      const auto at = std::min_element(curve.begin(), curve.end(), [&](const SeriesPoint& p, const SeriesPoint& q) {
        return std::abs(p.x - mean.x) < std::abs(q.x - mean.x);
      });
      EXPECT_LT(std::abs(at->x - mean.x), 1000.0 / rate) << "a mean at " << mean.x << " ms";
      EXPECT_NEAR(mean.y, at->y, 0.02 * amplitude) << "the mean at " << mean.x << " ms lies on its curve";
    }
    ASSERT_FALSE(wave.empty());
    int breaks = 0, points = 0;
    for (size_t i = 1; i < wave.size(); ++i) {
      points += !std::isnan(wave[i].x);
      if (std::isnan(wave[i].x) || std::isnan(wave[i - 1].x)) {
        breaks += std::isnan(wave[i].x);
        continue;
      }
      EXPECT_GE(wave[i].x, wave[i - 1].x) << "no line back in time, point " << i;
      EXPECT_LE(wave[i].x, curve.back().x + 1000.0 / rate);
    }
    EXPECT_EQ(breaks + 1, (points + 1) / 6) << "a piece per window";
  }
}

// A record's picture names the survey, the record and its electrodes, has both time axes
// titled and a legend, on white; both plot areas put a time at the same x.
TEST_F(FormTest, RecordPictureTellsWhatItShows) {
  Open(Survey("dd.qmr", {.blocks = 2,
                         .channels = 3,
                         .half_period = 100,
                         .second_length = 100,
                         .period_count = 4,
                         .physical = true,
                         .rho_ohm_m = 80}));
  TypeRecordNumber("5");
  Chart* current = Control<Chart>("Chart1");
  Chart* voltage = Control<Chart>("ChartVoltage");
  const std::string svg = dir_.File("record.svg");
  ASSERT_EQ(voltage->SaveImageAsked(QString::fromStdString(svg)), "");
  const QString all = SvgText(svg);
  EXPECT_TRUE(all.contains("dd.qmr — запись 5: A=2 B=3 M=5 N=6")) << all.toStdString();
  EXPECT_EQ(PictureFileName(voltage->Picture()), "dd_запись_5") << "the name the menu proposes";
  EXPECT_EQ(all.count("t, мс"), 2) << "both time axes";
  for (const char* legend : {"кривая", "средние полупериодов", "меандр по окнам"})
    EXPECT_TRUE(all.contains(legend)) << legend;

  for (Chart* chart : {current, voltage}) chart->ReplotNow();
  QApplication::processEvents();
  for (double t : {0.0, 300.0}) {
    const int above =
        current->MouseSurface()->mapTo(form_.get(), QPoint(qRound(current->BottomAxis().PixelAtValue(t)), 0)).x();
    const int below =
        voltage->MouseSurface()->mapTo(form_.get(), QPoint(qRound(voltage->BottomAxis().PixelAtValue(t)), 0)).x();
    EXPECT_NEAR(above, below, 1) << t << " ms at one x on both charts";
  }
  // The legend hides none of the square wave: each of its steps is drawn whole.
  const QImage shown = Picture(voltage);
  const std::vector<SeriesPoint> wave = voltage->SeriesAt(2).Points();
  int steps = 0;
  for (size_t i = 1; i < wave.size(); ++i) {
    if (!(wave[i].x == wave[i - 1].x) || !(std::abs(wave[i].y - wave[i - 1].y) > 50)) continue;
    const QPoint at = voltage->MouseSurface()->mapTo(
        voltage, QPoint(qRound(voltage->BottomAxis().PixelAtValue(wave[i].x)),
                        qRound(voltage->LeftAxis().PixelAtValue((wave[i].y + wave[i - 1].y) / 2))));
    bool red = false;
    for (int dx : {-1, 0, 1}) {
      const QColor c = shown.pixelColor(at + QPoint(dx, 0));
      red = red || (c.red() > 150 && c.green() < 100 && c.blue() < 100);
    }
    EXPECT_TRUE(red) << "the step at " << wave[i].x << " ms";
    ++steps;
  }
  EXPECT_GE(steps, 8);

  // The PDF's title in its metadata, as a document viewer lists it (UTF-16, big-endian).
  const std::string pdf = dir_.File("record.pdf");
  ASSERT_EQ(current->SaveImageAsked(QString::fromStdString(pdf)), "");
  std::string title = "/Title (\xFE\xFF";
  for (QChar c : QString("dd.qmr — запись 5: A=2 B=3 M=5 N=6"))
    title += {char(c.unicode() >> 8), char(c.unicode() & 0xFF)};
  const auto bytes = ReadWholeFile(pdf);
  EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(title), std::string::npos);

  const std::string png = dir_.File("record.png");
  ASSERT_EQ(current->SaveImageAsked(QString::fromStdString(png)), "");
  const QImage picture(QString::fromStdString(png));
  EXPECT_EQ(picture.pixelColor(2, picture.height() - 2), QColor(Qt::white)) << "white, not the window's grey";
  EXPECT_NE(Picture(current).pixelColor(2, current->height() - 2), QColor(Qt::white));
}

// A picture three times the size shown is the shown one at three times the resolution:
// made small again, it differs from the picture at the size shown by no more than
// smoothing does.
TEST_F(FormTest, ALargerPictureLooksTheSameOnlySharper) {
  Open(Survey("dd.qmr", {.blocks = 6,
                         .channels = 4,
                         .half_period = 100,
                         .second_length = 100,
                         .period_count = 2,
                         .physical = true,
                         .rho_ohm_m = 50}));
  Click("CheckB");
  SurveyView* view = form_->ShowSurveyView();
  view->resize(700, 450);
  QApplication::processEvents();
  Chart* section = view->Section();
  section->ReplotNow();
  const std::string shown = dir_.File("shown.png"), large = dir_.File("large.png");
  ASSERT_EQ(section->SaveImageAsked(QString::fromStdString(shown)), "");
  const QImage one(QString::fromStdString(shown));
  ASSERT_EQ(section->SaveImageAsked(QString::fromStdString(large), one.size() * 3), "");
  const QImage three(QString::fromStdString(large));
  ASSERT_EQ(three.size(), one.size() * 3);
  const QImage small = three.scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  double difference = 0;
  for (int y = 0; y < one.height(); ++y)
    for (int x = 0; x < one.width(); ++x) {
      const QColor a = one.pixelColor(x, y), b = small.pixelColor(x, y);
      difference += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
    }
  difference /= 3.0 * one.width() * one.height();
  EXPECT_LT(difference, 4) << "mean difference of a colour channel, 0-255";
}

// A zoomed section's markers at its edge are cut at the frame in the SVG as in the PNG,
// never drawn over the tick labels.
TEST_F(FormTest, AZoomedPictureKeepsItsMarksInsideTheFrame) {
  Open(Survey("dd.qmr", {.blocks = 6,
                         .channels = 4,
                         .half_period = 100,
                         .second_length = 100,
                         .period_count = 2,
                         .physical = true,
                         .rho_ohm_m = 50}));
  Click("CheckB");
  SurveyView* view = form_->ShowSurveyView();
  view->resize(700, 450);
  QApplication::processEvents();
  Chart* section = view->Section();
  section->ReplotNow();
  // The new left end through the middle of a marker.
  const double low = section->BottomAxis().Minimum(), high = section->BottomAxis().Maximum();
  double edge = high;
  for (int i = 0; i < section->SeriesCount(); ++i)
    for (const SeriesPoint& point : section->SeriesAt(i).Points())
      if (point.x > low + (high - low) / 3) edge = std::min(edge, point.x);
  section->BottomAxis().SetAutomatic(false);
  section->BottomAxis().SetLimits(edge, high);
  section->ReplotNow();
  const int left = section->PlotArea().left();
  for (const char* name : {"zoomed.png", "zoomed.svg"}) {
    SCOPED_TRACE(name);
    const QString path = QString::fromStdString(dir_.File(name));
    ASSERT_EQ(section->SaveImageAsked(path), "");
    QImage picture;
    if (path.endsWith(".png")) {
      picture.load(path);
    } else {
      QSvgRenderer svg(path);
      picture = QImage(svg.viewBox().size(), QImage::Format_ARGB32);
      picture.fill(Qt::white);
      QPainter painter(&picture);
      svg.render(&painter);
    }
    int coloured = 0, inside = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width() * 3 / 4; ++x)
        (x < left - 1 ? coloured : inside) += picture.pixelColor(x, y).hsvSaturation() > 120;
    EXPECT_GT(inside, 100) << "markers in the plot area";
    EXPECT_EQ(coloured, 0) << "coloured pixels left of the plot area at " << left;
  }
}

namespace {

struct PlotRun {
  int status = -1;
  QString err;
};

// The batch tool's plot (vostrel-plot) and other commands, as a script runs them.
PlotRun RunTool(const char* program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(120000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardError())};
}
PlotRun Plot(const QStringList& arguments) { return RunTool(VOSTREL_PLOT, arguments); }

class PlotTest : public ::testing::Test {
 protected:
  QString Survey(const std::string& name, const SynthOptions& options) {
    WriteSyntheticSurvey(dir_.File(name), options);
    return QString::fromStdString(dir_.File(name));
  }
  QString Out(const std::string& name) { return QString::fromStdString(dir_.File(name)); }
  TempDir dir_;
};

}  // namespace

// A record's picture names the record and labels its voltage axis; a decay without an
// answer is drawn with its reason, which is told on stderr too.
TEST_F(PlotTest, RecordAndDecayPicturesSayWhatTheyShow) {
  const QString survey = Survey("dd.qmr", {.blocks = 2,
                                           .channels = 3,
                                           .half_period = 100,
                                           .second_length = 100,
                                           .period_count = 2,
                                           .noise_mv = 0.05,
                                           .physical = true,
                                           .rho_ohm_m = 30});
  ASSERT_EQ(Plot({"--record", "4", survey, Out("record.svg")}).status, 0);
  const QStringList texts = SvgTexts(dir_.File("record.svg"));
  EXPECT_TRUE(texts.join("").contains("dd.qmr — запись 4: A=2 B=3 M=4 N=5")) << texts.join('|').toStdString();
  const qsizetype time = texts.lastIndexOf("мс"), voltage = texts.indexOf("Напряжение, мВ");
  ASSERT_GT(voltage, time);
  EXPECT_GE(voltage - time - 1, 3) << "values on the voltage axis: "
                                   << texts.mid(time, voltage - time).join('|').toStdString();
  // Text in pixels as large as on the screen and in the PNG.
  const auto bytes = ReadWholeFile(dir_.File("record.svg"));
  const QString file = QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  auto sizes = QRegularExpression(R"re(font-size="([0-9.]+)")re").globalMatch(file);
  double smallest = INFINITY;
  while (sizes.hasNext()) smallest = std::min(smallest, sizes.next().captured(1).toDouble());
  EXPECT_GE(smallest, QFontInfo(QApplication::font()).pixelSize());

  const QString short_pauses =
      Survey("short.qmr",
             {.blocks = 1, .channels = 1, .half_period = 10, .second_length = 10, .period_count = 4, .physical = true});
  const PlotRun decay = Plot({"--decay", "1", short_pauses, Out("decay.svg")});
  EXPECT_EQ(decay.status, 0);
  EXPECT_TRUE(decay.err.contains("record 1 has no chargeability: the half-period is shorter than the averaging window"))
      << decay.err.toStdString();
  EXPECT_TRUE(
      SvgText(dir_.File("decay.svg")).contains("Нет ответа: the half-period is shorter than the averaging window"));

  // A decay with its Cole–Cole fit as the window's view shows it, and what each line is.
  SynthOptions o{.blocks = 1, .channels = 1, .half_period = 200, .second_length = 200, .period_count = 4};
  o.physical = true;
  o.rho_ohm_m = 100;
  o.noise_mv = 0;
  o.chargeability_mv_v = 40;
  o.tau_ms = 37.28;  // 46.6 ms for the first record
  o.cole_c = 0.6;
  ASSERT_EQ(Plot({"--decay", "1", Survey("fit.qmr", o), Out("fit.svg")}).status, 0);
  const QStringList fitted = SvgTexts(dir_.File("fit.svg"));
  const QString all = fitted.join("");
  EXPECT_TRUE(all.contains("Коул-Коул: m = 40.00")) << all.toStdString();
  EXPECT_TRUE(all.contains("τ = 46.60 ± ")) << all.toStdString();
  for (const char* text : {"M, мВ/В", "спад после выключения", "M окон с ±", "подгонка Коул-Коул"})
    EXPECT_TRUE(all.contains(text)) << text;
}

// Every row of a pseudosection stands whole inside its frame, its markers as large as the
// window draws them, on a linear pseudo-depth axis with round values.
TEST_F(PlotTest, APseudosectionKeepsEveryRowInsideItsFrame) {
  const QString survey = Survey("pd.qmr", {.blocks = 40,
                                           .channels = 7,
                                           .sample_rate = 500,
                                           .half_period = 50,
                                           .second_length = 50,
                                           .period_count = 2,
                                           .physical = true,
                                           .layout = SynthLayout::PoleDipole,
                                           .rho_ohm_m = 50});
  ASSERT_EQ(Plot({"--pseudosection", "rhoa", survey, Out("pd.png")}).status, 0);
  const QImage picture(Out("pd.png"));
  ASSERT_FALSE(picture.isNull());
  // Rows of markers: runs of image rows with coloured pixels left of the colour bar.
  std::vector<std::pair<int, int>> rows;
  for (int y = 0; y < picture.height(); ++y) {
    bool coloured = false;
    for (int x = 0; x < picture.width() * 8 / 10 && !coloured; ++x)
      coloured = picture.pixelColor(x, y).hsvSaturation() > 120;
    if (!coloured) continue;
    if (!rows.empty() && rows.back().second == y - 1)
      rows.back().second = y;
    else
      rows.emplace_back(y, y);
  }
  ASSERT_EQ(rows.size(), 7u) << "a row per dipole";
  for (const auto& [top, bottom] : rows) {
    // Magnified by a fraction, a row may round a pixel apart from another; a cut one loses more.
    EXPECT_NEAR(bottom - top, rows[3].second - rows[3].first, 1) << "a row at " << top << " cut";
    EXPECT_GE(bottom - top + 1, 5) << "markers as the window's";
  }
  // The x axis: the dark row that spans most of the picture, below every marker.
  int axis = -1;
  for (int y = picture.height() - 1; y > 0 && axis < 0; --y) {
    int dark = 0;
    for (int x = 0; x < picture.width(); ++x) dark += picture.pixelColor(x, y).value() < 100;
    if (dark > picture.width() / 2) axis = y;
  }
  ASSERT_GT(axis, 0);
  EXPECT_LT(rows.back().second, axis) << "the deepest row above the x axis";

  ASSERT_EQ(Plot({"--pseudosection", "rhoa", survey, Out("pd.svg")}).status, 0);
  const QStringList texts = SvgTexts(dir_.File("pd.svg"));
  const qsizetype x_title = texts.lastIndexOf("м", texts.indexOf("Псевдоглубина, м")),
                  depth_title = texts.indexOf("Псевдоглубина, м");
  const QStringList depths = texts.mid(x_title + 1, depth_title - x_title - 1);
  ASSERT_GE(depths.size(), 3) << texts.join('|').toStdString();
  for (qsizetype i = 2; i < depths.size(); ++i)
    EXPECT_NEAR(depths[i].toDouble() - depths[i - 1].toDouble(), depths[1].toDouble() - depths[0].toDouble(), 1e-9)
        << depths.join('|').toStdString();
}

// The scale, the size and the elevation asked for; a word on stderr where ρa ≤ 0 calls
// for --flip-sign; a choice that cannot be drawn is a usage mistake.
TEST_F(PlotTest, TheScaleSizeAndElevationAskedFor) {
  const QString survey = Survey("dd.qmr", {.blocks = 6,
                                           .channels = 4,
                                           .half_period = 50,
                                           .second_length = 50,
                                           .period_count = 2,
                                           .physical = true,
                                           .rho_ohm_m = 100});
  ASSERT_EQ(Plot({"--pseudosection", "rhoa", "--scale", "10:1000", survey, Out("fixed.svg")}).status, 0);
  const QStringList texts = SvgTexts(dir_.File("fixed.svg"));
  const qsizetype low = texts.indexOf("10");
  ASSERT_GE(low, 0);
  EXPECT_EQ(texts.mid(low, 7), QStringList({"10", "20", "50", "100", "200", "500", "1000"}))
      << texts.join('|').toStdString();
  ASSERT_EQ(Plot({"--pseudosection", "error", "--size", "2400x1300", survey, Out("large.png")}).status, 0);
  EXPECT_EQ(QImage(Out("large.png")).size(), QSize(2400, 1300));

  const QString negative =
      Survey("first.qmr", {.blocks = 3, .channels = 4, .half_period = 50, .second_length = 50, .period_count = 2});
  EXPECT_TRUE(Plot({"--pseudosection", "rhoa", negative, Out("n.png")})
                  .err.contains("12 records with ρa ≤ 0: try --flip-sign"));
  EXPECT_FALSE(Plot({"--pseudosection", "rhoa", "--flip-sign", negative, Out("n.png")}).err.contains("ρa"));

  const QString line = Out("line.vln");
  ASSERT_EQ(RunTool(VOSTREL_BATCH, {"line", "new", line, survey}).status, 0);
  ASSERT_EQ(Plot({"--pseudosection", "rhoa", line, Out("line.svg")}).status, 0);
  EXPECT_TRUE(SvgText(dir_.File("line.svg")).contains("line.vln — ρк, Ом·м — диполь-диполь"));
  EXPECT_TRUE(SvgText(dir_.File("line.svg")).contains("z, м")) << "the ground above the section";
  ASSERT_EQ(Plot({"--pseudosection", "rhoa", "--elevation", line, Out("elevation.svg")}).status, 0);
  EXPECT_TRUE(SvgText(dir_.File("elevation.svg")).contains("Высота, м"));

  for (const QStringList& wrong :
       {QStringList{"--pseudosection", "rhoa", "--scale", "1000:10"},
        QStringList{"--pseudosection", "rhoa", "--scale", "0:10", "--log"},
        QStringList{"--pseudosection", "rhoa", "--elevation"},
        QStringList{"--pseudosection", "rhoa", "--size", "9000x100"}, QStringList{"--record", "1", "--scale", "1:2"}})
    EXPECT_EQ(Plot(wrong + QStringList{survey, Out("x.png")}).status, 2) << wrong.join(' ').toStdString();
}
