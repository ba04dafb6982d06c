// The file check from the window: the error strip chart, its classes, the record
// marker, and picking a record with the mouse.

#include <QApplication>
#include <QSplitter>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "analysis/error_class.h"
#include "form_fixture.h"
#include "vari.h"

namespace {

enum class Signal { Computed, Negative, None };
struct WantedError {
  double error_pct;
  Signal signal = Signal::Computed;
};

// One record per wanted error. Three difference windows of m(1-x), m(1+x) and m give
// an error of 100 x sqrt(2/3); the other two kinds give the fixed errors 50 and 100.
TestSurvey ErrorSurvey(const std::vector<WantedError>& wanted) {
  TestSurvey survey;
  survey.header = {1000, 60, 60, 2};  // S = 480, W = 20
  for (const WantedError& w : wanted) {
    const double m = 10, x = w.error_pct / (100 * std::sqrt(2.0 / 3.0));
    const double v3 = -10, v1 = 2 * m * (1 - x) + v3, v5 = 2 * m * (1 + x) + v3, v7 = v5 - 2 * m;
    double levels[8] = {v1, 0, v3, 0, v5, 0, v7, 0};
    TestBlock block;
    block.channels.resize(1);
    for (int k = 0; k < 8; ++k) {
      double millivolts = w.signal == Signal::None ? 0 : w.signal == Signal::Negative ? -levels[k] : levels[k];
      block.current.insert(block.current.end(), 60, k % 2 == 0 ? 0.1f : 0.0f);
      block.channels[0].voltage.insert(block.channels[0].voltage.end(), 60, static_cast<float>(millivolts / 1000));
    }
    survey.blocks.push_back(block);
  }
  return survey;
}

class CheckTest : public FormTest {
 protected:
  void OpenErrors(const std::vector<WantedError>& wanted) {
    ErrorSurvey(wanted).Write(dir_.File("errors.qmr"));
    Open(dir_.File("errors.qmr"));
  }
  Chart* Chart2() { return Control<Chart>("Chart2"); }
  // The error chart's points and the marker, by record.
  std::map<int, SeriesPoint> ErrorPoints() { return ByRecord(0); }
  std::map<int, SeriesPoint> Marker() { return ByRecord(1); }
  std::map<int, SeriesPoint> ByRecord(int series) {
    std::map<int, SeriesPoint> points;
    for (const SeriesPoint& p : Chart2()->SeriesAt(series).Points()) points[static_cast<int>(p.x)] = p;
    return points;
  }
  // Clicks Chart2 at a pixel whose bottom-axis value is `value` (within float precision).
  void ClickChart2At(double value, Qt::MouseButton button = Qt::LeftButton) {
    const int pixel = Chart2()->width() / 2;
    ChartAxis& axis = Chart2()->BottomAxis();
    double shift = value - axis.ValueAtPixel(pixel);
    axis.SetLimits(axis.Minimum() + shift, axis.Maximum() + shift);
    ASSERT_EQ(static_cast<float>(axis.ValueAtPixel(pixel)), static_cast<float>(value));
    QTest::mouseClick(PlotOf(Chart2()), button, {}, QPoint(pixel, Chart2()->height() / 2));
  }
};

TEST_F(CheckTest, EveryRecordGetsASquareInItsClassColour) {
  OpenErrors({{0.05}, {0.5}, {3}, {10}, {30}, {0, Signal::Negative}, {0, Signal::None}});
  EXPECT_TRUE(Chart2()->TitleVisible());
  Click("CheckB");
  EXPECT_FALSE(Chart2()->TitleVisible());
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
  auto points = ErrorPoints();
  ASSERT_EQ(points.size(), 7u);
  const uint32_t expected[] = {0xFF0000, 0xFF0000, 0x008000, 0x00FFFF, 0x0000FF, 0x000000, 0x0000FF};
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(points[k].colour, ToolkitColour(expected[k - 1])) << k;
  EXPECT_EQ(points[1].y, 0.1) << "raised for the log axis";
  EXPECT_NEAR(points[4].y, 10, 1e-3);
  EXPECT_EQ(points[6].y, 50);
  EXPECT_EQ(points[7].y, 100);
  EXPECT_EQ(RecordOnShow(), 1) << "the check changes nothing on show";
  EXPECT_EQ(shown_.size(), 1u);
}

TEST_F(CheckTest, CheckingTwiceKeepsOnePointPerRecord) {
  Open(Survey("line.qmr"));
  Click("CheckB");
  Click("CheckB");
  EXPECT_EQ(Chart2()->SeriesAt(0).Count(), 12);
}

TEST_F(CheckTest, MarkerFollowsTheRecordOnShowOnlyAfterACheck) {
  OpenErrors({{0.05}, {3}, {10}});
  TypeRecordNumber("2");
  EXPECT_TRUE(Marker().empty()) << "no marker before a check";
  Click("CheckB");
  EXPECT_TRUE(Marker().empty()) << "the check itself draws no marker";
  TypeRecordNumber("1");
  auto marker = Marker();
  ASSERT_EQ(marker.size(), 1u);
  EXPECT_LT(marker[1].y, 0.1) << "the marker sits at the record's own error, below its square";
  EXPECT_EQ(marker[1].colour.rgb(), ToolkitColour(0xFF00FF).rgb());
  TypeRecordNumber("3");
  marker = Marker();
  ASSERT_EQ(marker.size(), 1u);
  EXPECT_NEAR(marker[3].y, 10, 1e-3);

  // A survey of 12 records after one of 30: its strip shows neither the old marker nor the old range.
  OpenErrors(std::vector<WantedError>(30, {3}));
  TypeRecordNumber("30");
  Click("CheckB");
  TypeRecordNumber("29");
  ASSERT_EQ(Marker().count(29), 1u);
  Open(Survey("line.qmr"));
  EXPECT_EQ(Chart2()->SeriesAt(0).Count(), 0) << "an open resets the error chart";
  EXPECT_TRUE(Chart2()->TitleVisible());
  EXPECT_TRUE(Marker().empty()) << "the last survey's marker is gone";
  EXPECT_LE(Chart2()->BottomAxis().Maximum(), 13);
  EXPECT_GE(Chart2()->BottomAxis().Minimum(), 0);
  TypeRecordNumber("5");
  EXPECT_TRUE(Marker().empty()) << "no new marker until a check";
}

TEST_F(CheckTest, ClickOnTheErrorChartPicksTheRecordUnderThePointer) {
  Open(Survey("line.qmr"));
  Click("CheckB");
  ClickChart2At(2.5);
  EXPECT_EQ(RecordOnShow(), 2) << "2.5 rounds half to even";
  ClickChart2At(3.5);
  EXPECT_EQ(RecordOnShow(), 4);
  EXPECT_EQ(Marker().count(4), 1u);
  ClickChart2At(0.4);
  EXPECT_EQ(RecordOnShow(), 4);
  ClickChart2At(12.6);
  EXPECT_EQ(RecordOnShow(), 4);
  ClickChart2At(7, Qt::RightButton);
  EXPECT_EQ(RecordOnShow(), 4);
  size_t loads = shown_.size();
  ClickChart2At(4.2);
  EXPECT_EQ(shown_.size(), loads) << "the record on show is not loaded again";
  EXPECT_TRUE(messages_.Messages().empty());
}

TEST_F(CheckTest, NothingHappensWithoutAFile) {
  ClickChart2At(1);
  Click("CheckB");
  EXPECT_EQ(Chart2()->SeriesAt(0).Count(), 0);
  EXPECT_TRUE(Chart2()->TitleVisible());
}

TEST_F(CheckTest, UnreadableRecordStopsTheCheckAndKeepsItsPoints) {
  std::string path = Survey("line.qmr");
  Open(path);
  Truncate(path, std::filesystem::file_size(path) - 100);  // the last block's records are gone
  Click("CheckB");
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0], "Read beyond end of file");
  EXPECT_EQ(Chart2()->SeriesAt(0).Count(), 11);
  EXPECT_FALSE(Control<QProgressBar>("ProgressBar1")->isVisible());
  EXPECT_FALSE(vari.work.DataFile.IsOpen());
}

}  // namespace

namespace {

// Where the error chart draws its title: the middle of its top rows.
QRect TitleArea(Chart* chart) { return QRect(chart->width() / 2 - 60, 0, 120, 20); }

TEST_F(CheckTest, TheCheckTakesTheTitleAwayAndAnOpenBringsItBack) {
  OpenErrors({{0.05}, {0.5}, {0.7}});  // blue squares only, nothing drawn in the title's colours
  const int with_title = TextPixels(Picture(Chart2()), TitleArea(Chart2()));
  EXPECT_GT(with_title, 20) << "the title is drawn after an open";
  Click("CheckB");
  EXPECT_EQ(TextPixels(Picture(Chart2()), TitleArea(Chart2())), 0) << "the title stays drawn over the points";
  ErrorSurvey({{0.05}}).Write(dir_.File("one.qmr"));
  Open(dir_.File("one.qmr"));
  EXPECT_EQ(TextPixels(Picture(Chart2()), TitleArea(Chart2())), with_title);
}

// The title row is laid out once however often the chart is reset.
TEST_F(CheckTest, RepeatedOpensLeaveTheErrorChartAsTheFirstDid) {
  auto settled = [this] {
    Chart2()->ReplotNow();  // margins settle over a replot
    return Picture(Chart2());
  };
  OpenErrors({{0.05}, {3}});
  OpenErrors({{0.05}, {3}});
  const QImage second = settled();
  OpenErrors({{0.05}, {3}});
  const QImage third = settled();
  EXPECT_EQ(third, second);
}

// In 70 pixels the title keeps its full height: the comma must not read as a full stop.
TEST_F(CheckTest, TheTitleIsNotCutInSeventyPixels) {
  auto rows_of_text = [this](const QImage& image) {
    int rows = 0;
    for (int y = 0; y < 30; ++y)
      if (TextPixels(image, QRect(TitleArea(Chart2()).left(), y, 120, 1)) > 0) ++rows;
    return rows;
  };
  ASSERT_EQ(Chart2()->height(), 70);
  const int in_the_window = rows_of_text(Picture(Chart2()));
  Control<QSplitter>("Splitters")->setSizes({300, 200, 200});  // as a user drags the splitter
  ASSERT_GT(Chart2()->height(), 150);
  EXPECT_EQ(in_the_window, rows_of_text(Picture(Chart2())));
}

// The bottom axis follows the records again at every open, every check and a double
// click, whatever a wheel step or a drag did to it before.
TEST_F(CheckTest, TheErrorChartFollowsItsPointsAfterAWheelStep) {
  Open(Survey("line.qmr"));
  Click("CheckB");
  QWidget* plot = PlotOf(Chart2());
  const double whole = Chart2()->BottomAxis().Maximum() - Chart2()->BottomAxis().Minimum();
  const QPoint middle(plot->width() / 2, plot->height() / 2);
  QWheelEvent wheel(QPointF(middle), QPointF(plot->mapToGlobal(middle)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &wheel);
  const double zoomed = Chart2()->BottomAxis().Maximum() - Chart2()->BottomAxis().Minimum();
  ASSERT_GT(std::abs(zoomed - whole), 0.5) << "the wheel changed nothing";

  TypeRecordNumber("12");  // the marker moves; the zoom the user made stays
  EXPECT_NEAR(Chart2()->BottomAxis().Maximum() - Chart2()->BottomAxis().Minimum(), zoomed, 1e-9);

  OpenErrors({{0.05}, {3}, {10}});
  for (int step = 0; step < 5; ++step) QApplication::sendEvent(plot, &wheel);
  Click("CheckB");
  EXPECT_LE(Chart2()->BottomAxis().Minimum(), 1);
  EXPECT_GE(Chart2()->BottomAxis().Maximum(), 3);
  EXPECT_LT(Chart2()->BottomAxis().Maximum() - Chart2()->BottomAxis().Minimum(), 3) << "squeezed into a corner";

  for (int step = 0; step < 5; ++step) QApplication::sendEvent(plot, &wheel);
  ASSERT_GT(Chart2()->BottomAxis().Minimum(), 1) << "five steps hide the first record";
  QTest::mouseDClick(plot, Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_LE(Chart2()->BottomAxis().Minimum(), 1);
  EXPECT_GE(Chart2()->BottomAxis().Maximum(), 3);
}

TEST_F(CheckTest, SquaresAtTheEdgesAreDrawnWhole) {
  OpenErrors({{0.05}, {30}, {3}});
  Click("CheckB");
  TypeRecordNumber("2");
  Chart2()->ReplotNow();
  EXPECT_GE(PixelsInside(Chart2()->LeftAxis(), 30, true), 3.5) << "the top square is cut";
  EXPECT_GE(PixelsInside(Chart2()->LeftAxis(), 0.1, true), 3.5) << "the bottom square is cut";
  EXPECT_GE(PixelsInside(Chart2()->BottomAxis(), 1), 3.5);
  EXPECT_GE(PixelsInside(Chart2()->BottomAxis(), 3), 3.5);
  ClickChart2At(3);
  EXPECT_EQ(RecordOnShow(), 3) << "a click on the last record's square picks it";
}

}  // namespace
