// The curve charts under the mouse: readouts, focus colours, the double-click reset
// and the wheel zoom, with real events on the offscreen platform.

#include <QApplication>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>

#include "form_fixture.h"
#include "processing/format_fixed.h"
#include "vari.h"

namespace {

class ChartInteractionTest : public FormTest {
 protected:
  Chart* Current() { return Control<Chart>("Chart1"); }
  Chart* Voltage() { return Control<Chart>("ChartVoltage"); }

  // A pixel column of `chart` at which a bottom axis from 0 to 100 reads `value`
  // exactly; the window is widened a pixel at a time until one exists.
  int ColumnReading(Chart* chart, double value) {
    for (int extra = 0; extra < 40; ++extra) {
      form_->resize(1000 + extra, 745);
      QApplication::processEvents();
      chart->BottomAxis().SetLimits(0, 100);
      for (int x = 0; x < chart->width(); ++x)
        if (chart->BottomAxis().ValueAtPixel(x) == value) return x;
    }
    ADD_FAILURE() << "no column reads " << value;
    return 0;
  }
  void Wheel(Chart* chart, QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* plot = PlotOf(chart);
    QWheelEvent event(QPointF(at), QPointF(plot->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
  }
  void ExpectLimits(ChartAxis& axis, double minimum, double maximum) {
    EXPECT_NEAR(axis.Minimum(), minimum, 1e-9);
    EXPECT_NEAR(axis.Maximum(), maximum, 1e-9);
  }
};

TEST_F(ChartInteractionTest, WheelZoomsTheTimeAxisAboutThePointerAndLinksTheOtherChart) {
  Open(Survey("line.qmr"));
  int x = ColumnReading(Current(), 40);
  QPoint at(x, Current()->height() / 2);
  double value_min = Current()->LeftAxis().Minimum(), value_max = Current()->LeftAxis().Maximum();

  Wheel(Current(), at, -120);
  EXPECT_EQ(form_->windowTitle(), "-120");
  ExpectLimits(Current()->BottomAxis(), 10, 85);
  ExpectLimits(Voltage()->BottomAxis(), 10, 85);
  EXPECT_FALSE(Voltage()->BottomAxis().Automatic());
  ExpectLimits(Current()->LeftAxis(), value_min, value_max);
  EXPECT_TRUE(Voltage()->LeftAxis().Automatic());

  Wheel(Current(), at, 120);
  ExpectLimits(Current()->BottomAxis(), 0, 100);

  Wheel(Current(), at, 0);
  EXPECT_EQ(form_->windowTitle(), "0");
  ExpectLimits(Current()->BottomAxis(), -40.0 / 3, 120);
}

TEST_F(ChartInteractionTest, CtrlWheelZoomsOnlyThatChartsValueAxis) {
  Open(Survey("line.qmr"));
  double time_max = Voltage()->BottomAxis().Maximum();
  Voltage()->LeftAxis().SetLimits(-100, 100);
  Wheel(Voltage(), QPoint(Voltage()->width() / 2, Voltage()->height() / 2), -120, Qt::ControlModifier);
  EXPECT_LT(Voltage()->LeftAxis().Maximum() - Voltage()->LeftAxis().Minimum(), 150.0001);
  EXPECT_GT(Voltage()->LeftAxis().Maximum() - Voltage()->LeftAxis().Minimum(), 149.9999);
  EXPECT_EQ(Voltage()->BottomAxis().Maximum(), time_max);
  EXPECT_TRUE(Current()->BottomAxis().Automatic());
  EXPECT_TRUE(Current()->LeftAxis().Automatic());
}

TEST_F(ChartInteractionTest, StepsFarBeyondTheRangeNeverInvertAnAxis) {
  Open(Survey("line.qmr"));
  Current()->BottomAxis().SetLimits(0, 1);
  Wheel(Current(), QPoint(Current()->width() - 2, 10), -120);  // the pointer far beyond the maximum
  for (int i = 0; i < 5; ++i) Wheel(Current(), QPoint(Current()->width() - 2, 10), -120);
  EXPECT_LT(Current()->BottomAxis().Minimum(), Current()->BottomAxis().Maximum());
  EXPECT_LT(Voltage()->BottomAxis().Minimum(), Voltage()->BottomAxis().Maximum());
}

TEST_F(ChartInteractionTest, WheelWithoutAFileLeavesTheCaption) {
  Wheel(Current(), QPoint(50, 50), -120);
  EXPECT_EQ(form_->windowTitle(), TMainForm::Caption);
}

TEST_F(ChartInteractionTest, DoubleClickAndNewRecordsResetTheAxes) {
  Open(Survey("line.qmr"));
  int x = ColumnReading(Current(), 40);
  Wheel(Current(), QPoint(x, 20), -120);
  QTest::mouseDClick(PlotOf(Current()), Qt::LeftButton, {}, QPoint(x, 20));
  EXPECT_TRUE(Current()->BottomAxis().Automatic());
  EXPECT_TRUE(Current()->LeftAxis().Automatic());
  ExpectLimits(Voltage()->BottomAxis(), 10, 85);

  TypeRecordNumber("2");
  EXPECT_TRUE(Voltage()->BottomAxis().Automatic());
  EXPECT_TRUE(Voltage()->LeftAxis().Automatic());
  EXPECT_GT(Voltage()->BottomAxis().Maximum(), 700);
}

TEST_F(ChartInteractionTest, ClickFocusesAChartAndTurnsItWhite) {
  const QColor white = ToolkitColour(0xFFFFFF), face = ToolkitColour(ButtonFaceColour);
  EXPECT_EQ(Current()->Colour(), face);
  EXPECT_EQ(Voltage()->Colour(), face);
  QApplication::setActiveWindow(form_.get());
  QTest::mouseClick(PlotOf(Current()), Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_TRUE(Current()->hasFocus());
  EXPECT_EQ(Current()->Colour(), white);
  QTest::mouseClick(PlotOf(Voltage()), Qt::LeftButton, {}, QPoint(30, 30));
  EXPECT_EQ(Current()->Colour(), face);
  EXPECT_EQ(Voltage()->Colour(), white);

  EXPECT_EQ(Voltage()->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
  EXPECT_EQ(Current()->focusPolicy() & Qt::TabFocus, 0);
}

TEST_F(ChartInteractionTest, ReadoutsFollowThePointerWhileAFileIsLoaded) {
  auto* readout = Control<QLineEdit>("lVoltage");
  QTest::mouseMove(PlotOf(Voltage()), QPoint(40, 40));
  EXPECT_EQ(readout->text(), "") << "nothing before a file is opened";

  Open(Survey("line.qmr"));
  const QPoint at(Voltage()->width() / 2, Voltage()->height() / 2);
  // New limits change the tick labels and with them the plot's margins, so the
  // values are placed again until the layout has settled.
  auto place = [&](double y, double x) {
    for (int round = 0; round < 3; ++round) {
      for (auto [axis, pixel, value] :
           {std::tuple{&Voltage()->LeftAxis(), at.y(), y}, std::tuple{&Voltage()->BottomAxis(), at.x(), x}}) {
        double shift = value - axis->ValueAtPixel(pixel);
        axis->SetLimits(axis->Minimum() + shift, axis->Maximum() + shift);
      }
      Voltage()->ReplotNow();
    }
  };
  place(-0.5, 0);
  QTest::mouseMove(PlotOf(Voltage()), at);
  EXPECT_EQ(readout->text(), "-0.500 0.0");

  form_->SetDecimalSeparator(",");
  place(12.3456, 1234.56);
  QTest::mouseMove(PlotOf(Voltage()), at + QPoint(0, 1));
  QTest::mouseMove(PlotOf(Voltage()), at);
  EXPECT_EQ(readout->text(), "12,346 1234,6");
  TypeRecordNumber("2");
  EXPECT_TRUE(Text("Panel2Caption").contains(QRegularExpression("^dU=-?\\d+,\\d{3} \\( ")))
      << Text("Panel2Caption").toStdString();

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(PlotOf(Voltage()), &leave);
  EXPECT_EQ(readout->text(), "");
}

TEST_F(ChartInteractionTest, RectangleZoomAndRightButtonScrolling) {
  Open(Survey("line.qmr"));
  Chart* chart = Voltage();
  QWidget* plot = PlotOf(chart);
  auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(plot->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(plot, &event);
  };
  auto drag = [&](Qt::MouseButton button, QPoint from, QPoint to) {
    send(QEvent::MouseButtonPress, from, button, button);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
    send(QEvent::MouseMove, to, Qt::NoButton, button);
    send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
  };
  const double width_before = chart->BottomAxis().Maximum() - chart->BottomAxis().Minimum();
  const int w = chart->width(), h = chart->height();
  drag(Qt::LeftButton, QPoint(w / 3, h / 3), QPoint(w / 2, h / 2));
  const double zoomed = chart->BottomAxis().Maximum() - chart->BottomAxis().Minimum();
  EXPECT_LT(zoomed, width_before / 3);
  EXPECT_FALSE(chart->BottomAxis().Automatic());
  EXPECT_FALSE(chart->LeftAxis().Automatic());

  const double minimum = chart->BottomAxis().Minimum();
  drag(Qt::RightButton, QPoint(w / 2, h / 2), QPoint(w / 4, h / 2));
  EXPECT_GT(chart->BottomAxis().Minimum(), minimum) << "dragging left shows later times";
  EXPECT_NEAR(chart->BottomAxis().Maximum() - chart->BottomAxis().Minimum(), zoomed, 1e-9);
}

}  // namespace

namespace {

// The chart's own background at a corner, outside the plot area: white when focused.
QColor Background(Chart* chart) { return Picture(chart).pixelColor(2, 2); }

TEST_F(ChartInteractionTest, TheChartWorkedInIsTheWhiteOne) {
  Open(Survey("line.qmr"));
  QApplication::setActiveWindow(form_.get());
  const QColor white(255, 255, 255);
  const int w = Voltage()->width(), h = Voltage()->height();

  QTest::mouseDClick(PlotOf(Voltage()), Qt::LeftButton, {}, QPoint(w / 2, h / 2));
  EXPECT_EQ(Background(Voltage()), white) << "after a double click";

  QTest::mousePress(PlotOf(Current()), Qt::LeftButton, {}, QPoint(w / 3, 30));
  QTest::mouseMove(PlotOf(Current()), QPoint(w / 2, 60));
  QTest::mouseRelease(PlotOf(Current()), Qt::LeftButton, {}, QPoint(w / 2, 60));
  EXPECT_EQ(Background(Current()), white) << "after a rectangle zoom";
  EXPECT_NE(Background(Voltage()), white);

  QTest::mousePress(PlotOf(Voltage()), Qt::RightButton, {}, QPoint(w / 2, h / 2));
  QTest::mouseMove(PlotOf(Voltage()), QPoint(w / 3, h / 2));
  QTest::mouseRelease(PlotOf(Voltage()), Qt::RightButton, {}, QPoint(w / 3, h / 2));
  EXPECT_EQ(Background(Voltage()), white) << "after a right-button scroll";
  EXPECT_NE(Background(Current()), white);
}

TEST_F(ChartInteractionTest, APlainClickLeavesNoZoomMark) {
  Open(Survey("line.qmr"));
  QApplication::setActiveWindow(form_.get());
  const QColor fuchsia = ToolkitColour(0xFF00FF);
  auto fuchsia_pixels = [&](Chart* chart) {
    QImage image = Picture(chart);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == fuchsia;
    return count;
  };
  for (Chart* chart : {Current(), Voltage()}) {
    QTest::mouseClick(PlotOf(chart), Qt::LeftButton, {}, QPoint(chart->width() / 2, chart->height() / 2));
    EXPECT_EQ(fuchsia_pixels(chart), 0) << chart->objectName().toStdString();
  }
}

// A double click brings back the whole record, not merely the automatic flags.
TEST_F(ChartInteractionTest, DoubleClickShowsTheWholeCurveAgain) {
  Open(Survey("line.qmr"));
  const double first = Current()->BottomAxis().Minimum(), last = Current()->BottomAxis().Maximum();
  Wheel(Current(), QPoint(Current()->width() / 2, 20), -120);
  Wheel(Current(), QPoint(Current()->width() / 2, 20), -120);
  ASSERT_LT(Current()->BottomAxis().Maximum() - Current()->BottomAxis().Minimum(), (last - first) * 0.6);
  QTest::mouseDClick(PlotOf(Current()), Qt::LeftButton, {}, QPoint(40, 20));
  EXPECT_EQ(Current()->BottomAxis().Minimum(), first);
  EXPECT_EQ(Current()->BottomAxis().Maximum(), last);
  EXPECT_LE(Current()->BottomAxis().Minimum(), 0);
  EXPECT_GE(Current()->BottomAxis().Maximum(), 799) << "the last sample of the curve";
}

// The averaged points at the top and the bottom of the range are drawn whole.
TEST_F(ChartInteractionTest, AveragedPointsAtTheEdgesAreNotCut) {
  Open(Survey("line.qmr"));
  for (Chart* chart : {Current(), Voltage()}) {
    chart->ReplotNow();
    double low = 1e300, high = -1e300;
    for (const SeriesPoint& point : chart->SeriesAt(1).Points())
      low = std::min(low, point.y), high = std::max(high, point.y);
    for (const SeriesPoint& point : chart->SeriesAt(0).Points())
      low = std::min(low, point.y), high = std::max(high, point.y);
    EXPECT_GE(PixelsInside(chart->LeftAxis(), high), 3.5) << chart->objectName().toStdString();
    EXPECT_GE(PixelsInside(chart->LeftAxis(), low), 3.5) << chart->objectName().toStdString();
  }
}

}  // namespace
