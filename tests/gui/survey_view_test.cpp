// The survey view: every checked record a marker where its electrodes and their depth
// of investigation put it, coloured by the scale, and a click that shows the record.

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <filesystem>
#include <map>
#include <tuple>

#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "form_fixture.h"
#include "vari.h"
#include "views/decay_view.h"

namespace {

class SurveyViewTest : public FormTest {
 protected:
  // Dipole-dipole, electrodes 5 m apart: record c+1 of block b has A at 5b, B at 5(b+1),
  // M at 5(b+2+c), N at 5(b+3+c): n = c+1 dipole lengths between the dipoles.
  void OpenChecked() {
    Open(Survey("dd.qmr", {.blocks = 6,
                           .channels = 4,
                           .spacing_m = 5,
                           .half_period = 100,
                           .second_length = 100,
                           .period_count = 2,
                           .noise_mv = 0.01,
                           .physical = true}));
    Click("CheckB");
    view_ = form_->ShowSurveyView();
    view_->resize(900, 500);
    QApplication::processEvents();
    view_->Section()->ReplotNow();
  }
  std::vector<SeriesPoint> Markers() { return view_->Section()->SeriesAt(0).Points(); }
  SurveyView* view_ = nullptr;
};

// A line of two surveys in a view of its own: five records in a row at 1 m depth, x 0, 10,
// ..., 40; the fourth (file 1, record 1) left out by hand and the highest ρa of all.
class LineViewTest : public FormTest {
 protected:
  void SetUp() override {
    const double rhoa[] = {10, 20, 30, 1000, 40};
    for (int i = 0; i < 5; ++i)
      points_.push_back({.record = i < 3 ? i + 1 : i - 2,
                         .x = 10.0 * i,
                         .depth = 1 + 0.1 * i,
                         .rhoa = rhoa[i],
                         .error_pct = 0.1,
                         .plotted_error_pct = 0.8,
                         .chargeability = NAN,
                         .file = i < 3 ? 0 : 1,
                         .left_out = i == 3 ? "by hand" : ""});
    view_.SetSurveyNames({"a.qmr", "b.qmr"});
    view_.resize(900, 500);
    view_.show();
    view_.ShowPoints(points_);
    QApplication::processEvents();
    view_.Section()->ReplotNow();
    QObject::connect(&view_, &SurveyView::RecordsToggled,
                     [this](std::vector<std::pair<int, int>> records) { toggled_.push_back(std::move(records)); });
    QObject::connect(&view_, &SurveyView::RecordPicked, [this](int file, int k) { picked_.emplace_back(file, k); });
  }
  QPoint Centre(int i) {
    return QPoint(qRound(view_.Section()->BottomAxis().PixelAtValue(points_[size_t(i)].x)),
                  qRound(view_.Section()->LeftAxis().PixelAtValue(points_[size_t(i)].depth)));
  }
  void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held, Qt::KeyboardModifiers keys) {
    QWidget* plot = PlotOf(view_.Section());
    QMouseEvent event(type, QPointF(at), QPointF(plot->mapToGlobal(at)), button, held, keys);
    QApplication::sendEvent(plot, &event);
  }
  void Drag(QPoint from, QPoint to, Qt::KeyboardModifiers keys) {
    Send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton, keys);
    Send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton, keys);
    Send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton, keys);
    band_seen_ = view_.findChild<QRubberBand*>()->isVisible();
    Send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton, keys);
  }
  void Click(QPoint at, Qt::KeyboardModifiers keys) {
    Send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, keys);
    Send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, keys);
  }
  double Minimum(Chart* chart) { return chart->BottomAxis().Minimum(); }
  double Maximum(Chart* chart) { return chart->BottomAxis().Maximum(); }

  SurveyView view_;
  std::vector<PseudosectionPoint> points_;
  std::vector<std::vector<std::pair<int, int>>> toggled_;
  std::vector<std::pair<int, int>> picked_;
  bool band_seen_ = false;
};

TEST_F(SurveyViewTest, MarkersStandWhereTheArrangementsMeasure) {
  OpenChecked();
  const std::vector<SeriesPoint> markers = Markers();
  ASSERT_EQ(markers.size(), 24u);
  // Edwards' median depths of dipole-dipole, z/a for n = 1..4.
  const double depth[] = {0.416, 0.697, 0.962, 1.220};
  int found = 0;
  for (int b = 0; b < 6; ++b)
    for (int c = 0; c < 4; ++c) {
      const double x = 5 * (b + b + 1 + b + 2 + c + b + 3 + c) / 4.0;
      for (const SeriesPoint& marker : markers)
        if (std::abs(marker.x - x) < 1e-9 && std::abs(marker.y - depth[c] * 5) < 0.01) ++found;
    }
  EXPECT_EQ(found, 24);
}

TEST_F(SurveyViewTest, ColoursFollowTheScaleAndAClickShowsTheRecord) {
  OpenChecked();
  std::vector<SeriesPoint> markers = Markers();
  auto shown = [&](QColor colour) {
    return std::any_of(markers.begin(), markers.end(),
                       [&](const SeriesPoint& p) { return p.colour.rgb() == colour.rgb(); });
  };
  EXPECT_TRUE(shown(QColor(0, 0, 100))) << "the lowest ρa at the blue end of the scale";
  EXPECT_TRUE(shown(QColor(100, 0, 0))) << "the highest at the red end";

  // Record 14: block 3, channel 2.
  const double x = 5 * (3 + 4 + 6 + 7) / 4.0;
  QPoint at;
  for (const SeriesPoint& marker : markers)
    if (std::abs(marker.x - x) < 1e-9 && std::abs(marker.y - 0.697 * 5) < 0.01)
      at = QPoint(qRound(view_->Section()->BottomAxis().PixelAtValue(marker.x)),
                  qRound(view_->Section()->LeftAxis().PixelAtValue(marker.y)));
  ASSERT_EQ(view_->RecordAt(at), 14);
  QTest::mouseClick(PlotOf(view_->Section()), Qt::LeftButton, {}, at);
  EXPECT_EQ(RecordOnShow(), 14) << "the main window shows the record clicked";
  QWidget* plot = PlotOf(view_->Section());
  QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(1, 0)), QPointF(plot->mapToGlobal(at + QPoint(1, 0))),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
  const QString info = view_->findChild<QLabel*>("RecordInfo")->text();
  EXPECT_TRUE(info.startsWith("запись 14: A=4 B=5 M=7 N=8")) << info.toStdString();

  // The saved picture shows record 14's square in its colour where the view draws it.
  QColor colour;
  for (const SeriesPoint& marker : markers)
    if (std::abs(marker.x - x) < 1e-9 && std::abs(marker.y - 0.697 * 5) < 0.01) colour = marker.colour;
  const std::string png = dir_.File("section.png");
  ASSERT_TRUE(view_->Section()->SaveImage(QString::fromStdString(png)));
  EXPECT_EQ(QImage(QString::fromStdString(png)).pixelColor(at).rgb(), colour.rgb());
}

// A sound dipole-dipole survey has dU < 0: the check's strip shows the fixed 50 % (the
// stacking error with "Модуль dU"), while the view shows the stacking error and the
// signed ρa either way.
TEST_F(SurveyViewTest, DipoleDipoleShowsItsStackingErrorAndSignedRhoaWhateverTheModulus) {
  for (bool modulus : {false, true}) {
    SCOPED_TRACE(modulus ? "Модуль dU" : "dU as measured");
    Control<QCheckBox>("AbsBox")->setChecked(modulus);
    OpenChecked();
    const double strip = Control<Chart>("Chart2")->SeriesAt(0).Points().front().y;
    if (modulus)
      EXPECT_LT(strip, 0.2) << "the stacking error";
    else
      EXPECT_EQ(strip, 50) << "the mark of a negative dU";

    view_->SetQuantity(SurveyView::Quantity::ErrorClasses);
    const std::vector<SeriesPoint> classes = Markers();
    ASSERT_EQ(classes.size(), 24u);
    for (const SeriesPoint& marker : classes) EXPECT_EQ(marker.colour, ToolkitColour(ClassColour(ErrorClass::Blue)));

    view_->SetQuantity(SurveyView::Quantity::Rhoa);
    EXPECT_EQ(Markers().size(), 24u) << "every ρa above zero has a colour";
    EXPECT_EQ(view_->Section()->SeriesAt(1).Count(), 0);

    const SeriesPoint first = Markers().front();
    QWidget* plot = PlotOf(view_->Section());
    const QPoint at(qRound(view_->Section()->BottomAxis().PixelAtValue(first.x)),
                    qRound(view_->Section()->LeftAxis().PixelAtValue(first.y)));
    QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(plot->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    const QString info = view_->findChild<QLabel*>("RecordInfo")->text();
    const double error = info.section("ошибка=", 1).section('%', 0, 0).toDouble();
    EXPECT_GT(error, 0) << info.toStdString();
    EXPECT_LT(error, 0.1) << "the error as computed, not raised to the 0.1 of its colour: " << info.toStdString();
    EXPECT_GT(info.section("ρк=", 1).section(' ', 0, 0).toDouble(), 0) << info.toStdString();
  }
}

// Two markers 7.5 px apart, their squares side by side: a click 2 px off one, towards the
// other and so within reach of both, shows the one clicked.
TEST_F(SurveyViewTest, AClickBesideAMarkerPicksThatMarkerOnly) {
  OpenChecked();
  ChartAxis& x_axis = view_->Section()->BottomAxis();
  auto show = [&](double gap) {
    std::vector<PseudosectionPoint> points(3);
    points[0] = {.record = 3, .x = 0, .depth = 1, .rhoa = 10};
    points[1] = {.record = 4, .x = gap, .depth = 1, .rhoa = 20};
    points[2] = {.record = 20, .x = 10, .depth = 5, .rhoa = 30};
    view_->ShowPoints(points);
    view_->Section()->ReplotNow();
  };
  show(1);
  show(7.5 / (x_axis.PixelAtValue(1) - x_axis.PixelAtValue(0)));
  std::vector<SeriesPoint> markers = Markers();
  ASSERT_EQ(markers.size(), 3u);
  std::sort(markers.begin(), markers.end(), [](const SeriesPoint& p, const SeriesPoint& q) { return p.x < q.x; });
  auto centre = [&](const SeriesPoint& marker) {
    return QPointF(x_axis.PixelAtValue(marker.x), view_->Section()->LeftAxis().PixelAtValue(marker.y));
  };
  const QPointF first = centre(markers[0]), second = centre(markers[1]);
  ASSERT_NEAR(second.x() - first.x(), 7.5, 0.5);
  auto click = [&](QPointF at) {
    QTest::mouseClick(PlotOf(view_->Section()), Qt::LeftButton, {}, at.toPoint());
    return RecordOnShow();
  };
  EXPECT_EQ(click(first + QPointF(2, 0)), 3);
  EXPECT_EQ(click(second - QPointF(2, 0)), 4);
  EXPECT_EQ(click(first + QPointF(-2, 2)), 3);
  EXPECT_EQ(click(second + QPointF(2, -2)), 4);
}

TEST_F(SurveyViewTest, TheViewFollowsOpensAndChecks) {
  OpenChecked();
  EXPECT_EQ(Markers().size(), 24u);
  SynthOptions close = SmallSurvey();
  close.spacing_m = 1;
  Open(Survey("other.qmr", close));
  EXPECT_TRUE(Markers().empty()) << "a new survey has no check yet";
  EXPECT_EQ(view_->Section()->SeriesAt(1).Count(), 12) << "its places, without values";
  EXPECT_LT(view_->Section()->BottomAxis().Maximum(), 10) << "its own line, not the last survey's 40 m";
  Click("CheckB");
  EXPECT_EQ(Markers().size() + view_->Section()->SeriesAt(1).Count() + view_->Section()->SeriesAt(3).Count(), 12u)
      << "coloured, without a value or with ρa ≤ 0";
}

// The view plots the normal/reciprocal differences and the error model the core fits to them.
TEST_F(SurveyViewTest, TheErrorModelOfAReciprocalSurvey) {
  SynthOptions o{.blocks = 6,
                 .channels = 4,
                 .electrodes = 40,
                 .half_period = 100,
                 .second_length = 100,
                 .period_count = 2,
                 .noise_mv = 0.2,
                 .physical = true,
                 .rho_ohm_m = 50,
                 .reciprocal = true};
  const std::string path = Survey("rec.qmr", o);
  Open(path);
  Click("CheckB");
  view_ = form_->ShowSurveyView();
  Chart* errors = view_->ErrorModelChart();
  EXPECT_TRUE(errors->isVisible());
  EXPECT_EQ(errors->SeriesAt(0).Count(), 24) << "one point per pair";

  const std::vector<ReciprocalPair> pairs = FindReciprocalPairs(MeasureSurvey(*OpenSurvey(path).survey, {}));
  const ErrorModel model = FitErrorModel(pairs);
  const std::vector<SeriesPoint> line = errors->SeriesAt(1).Points();
  ASSERT_EQ(line.size(), 2u);
  for (const SeriesPoint& end : line) EXPECT_NEAR(end.y, model.ErrorOf(end.x), 1e-12);

  // The value labels stand apart: rows of text left of the axis come in runs no higher
  // than one label, with half a label's height or more between them.
  errors->ReplotNow();
  const QImage picture = Picture(errors);
  const int axis = qRound(errors->BottomAxis().PixelAtValue(errors->BottomAxis().Minimum()));
  std::vector<std::pair<int, int>> runs;  // first and last row
  for (int y = 0; y < picture.height(); ++y) {
    if (TextPixels(picture, QRect(axis - 40, y, 36, 1)) == 0) continue;
    if (!runs.empty() && runs.back().second == y - 1)
      runs.back().second = y;
    else
      runs.emplace_back(y, y);
  }
  ASSERT_GE(runs.size(), 2u);
  const int label = runs[0].second - runs[0].first + 1;
  for (size_t i = 1; i < runs.size(); ++i) {
    EXPECT_LE(runs[i].second - runs[i].first + 1, label * 3 / 2);
    EXPECT_GE(runs[i].first - runs[i - 1].second - 1, label / 2) << "labels " << i << " and " << i + 1;
  }

  view_->ShowReciprocals(pairs, {.a = 0.001, .b = -0.00002});
  EXPECT_EQ(errors->Title(), "|ΔR| = 0.001000 − 0.00002·|R|, пар 24");

  Open(Survey("plain.qmr"));
  EXPECT_FALSE(errors->isVisible()) << "no pairs: no model";
}

// Markers of a dense survey in a small window: as large as the spacing of the places
// allows without two overlapping, and whole at the ends of the axes.
TEST_F(SurveyViewTest, MarkersKeepApartAndWholeInASmallWindow) {
  Open(Survey(
      "dense.qmr",
      {.blocks = 40, .channels = 8, .half_period = 100, .second_length = 100, .period_count = 2, .physical = true}));
  Click("CheckB");
  Click("SurveyViewB");
  view_ = form_->findChild<SurveyView*>("SurveyView");
  Chart* section = view_->Section();
  auto edges_inside = [&] {
    double least = INFINITY;
    for (const SeriesPoint& p : Markers())
      least = std::min({least, PixelsInside(section->BottomAxis(), p.x), PixelsInside(section->LeftAxis(), p.y)});
    return least;
  };
  // Half a marker and a pixel free between the outermost markers and the frame.
  EXPECT_GE(edges_inside(), 1.5 * section->SeriesAt(0).MarkerHalfSize() + 1) << "as first shown";
  view_->resize(450, 350);
  QApplication::processEvents();
  section->ReplotNow();
  const int half = section->SeriesAt(0).MarkerHalfSize();
  std::vector<QPointF> pixels;
  for (const SeriesPoint& p : Markers())
    pixels.emplace_back(section->BottomAxis().PixelAtValue(p.x), section->LeftAxis().PixelAtValue(p.y));
  ASSERT_EQ(pixels.size(), 304u) << "320 records in 304 places: the spread begins again at the line's start";
  int overlapping = 0;
  for (size_t i = 0; i < pixels.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const double apart = std::max(std::abs(pixels[i].x() - pixels[j].x()), std::abs(pixels[i].y() - pixels[j].y()));
      if (apart >= 0.5 && apart < 2 * half + 1) ++overlapping;
    }
  EXPECT_EQ(overlapping, 0) << "half size " << half;
  EXPECT_GE(half, 1);
  EXPECT_GE(edges_inside(), 1.5 * half + 1);
}

// A left-out record is a hollow grey square that takes no part in the colour scale,
// and tells its survey and its cause.
TEST_F(LineViewTest, ALeftOutRecordIsHollowGreyAndTellsWhy) {
  for (auto quantity : {SurveyView::Quantity::Error, SurveyView::Quantity::Rhoa}) {
    view_.SetQuantity(quantity);
    const std::vector<SeriesPoint> grey = view_.Section()->SeriesAt(2).Points();
    ASSERT_EQ(grey.size(), 1u);
    EXPECT_EQ(grey[0].x, 30);
    EXPECT_EQ(grey[0].colour, QColor(128, 128, 128));
    EXPECT_EQ(view_.Section()->SeriesAt(0).Count(), 4);
  }
  const std::vector<SeriesPoint> kept = view_.Section()->SeriesAt(0).Points();
  for (const SeriesPoint& marker : kept) {
    if (marker.x == 40) {
      EXPECT_EQ(marker.colour.rgb(), QColor(100, 0, 0).rgb()) << "ρa 40, not 1000, at the red end";
    }
  }

  // On the screen: a grey outline around the square's middle, which is not grey.
  view_.Section()->ReplotNow();
  const QImage picture = Picture(view_.Section());
  const QPoint centre = view_.Section()->MouseSurface()->mapTo(view_.Section(), Centre(3));
  const int half = view_.Section()->SeriesAt(2).MarkerHalfSize();
  ASSERT_GE(half, 2);
  EXPECT_NE(picture.pixelColor(centre).rgb(), QColor(128, 128, 128).rgb());
  int grey_pixels = 0;
  for (int dx = -half - 1; dx <= half + 1; ++dx)
    grey_pixels += picture.pixelColor(centre + QPoint(dx, 0)).rgb() == QColor(128, 128, 128).rgb();
  EXPECT_EQ(grey_pixels, 2) << "the left and right sides";

  Send(QEvent::MouseMove, Centre(3) + QPoint(1, 0), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  const QString info = view_.findChild<QLabel*>("RecordInfo")->text();
  EXPECT_TRUE(info.startsWith("b.qmr, запись 1: ")) << info.toStdString();
  EXPECT_TRUE(info.endsWith("исключена: вручную")) << info.toStdString();
  EXPECT_EQ(QToolTip::text(), info);
  Send(QEvent::MouseMove, Centre(1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  EXPECT_TRUE(QToolTip::text().startsWith("a.qmr, запись 2: ")) << QToolTip::text().toStdString();
  EXPECT_FALSE(QToolTip::text().contains("исключена"));
}

// With a line open, Ctrl with a click or a rectangle toggles records; without Ctrl, or
// without a line, the mouse picks and zooms as ever.
TEST_F(LineViewTest, CtrlTogglesRecordsOnALineOnly) {
  Click(Centre(2), Qt::ControlModifier);
  EXPECT_TRUE(toggled_.empty());
  EXPECT_EQ(picked_, (std::vector<std::pair<int, int>>{{0, 3}})) << "no line: Ctrl picks as a plain click";

  view_.SetExcluding(true);
  picked_.clear();
  Click(Centre(3) + QPoint(2, -1), Qt::ControlModifier);
  Click(QPoint((Centre(0).x() + Centre(1).x()) / 2, Centre(0).y()), Qt::ControlModifier);
  ASSERT_EQ(toggled_.size(), 1u) << "a click between markers toggles none";
  EXPECT_EQ(toggled_[0], (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_TRUE(picked_.empty());

  // From below between the last two markers up to between the first two: the three in the middle.
  const double before = Maximum(view_.Section()) - Minimum(view_.Section());
  Drag((Centre(3) + Centre(4)) / 2 + QPoint(0, 30), (Centre(0) + Centre(1)) / 2 + QPoint(0, -30), Qt::ControlModifier);
  EXPECT_TRUE(band_seen_) << "the rectangle shows while it is drawn";
  EXPECT_FALSE(view_.findChild<QRubberBand*>()->isVisible());
  ASSERT_EQ(toggled_.size(), 2u);
  std::vector<std::pair<int, int>> three = toggled_[1];
  std::sort(three.begin(), three.end());
  EXPECT_EQ(three, (std::vector<std::pair<int, int>>{{0, 2}, {0, 3}, {1, 1}}));
  EXPECT_EQ(Maximum(view_.Section()) - Minimum(view_.Section()), before) << "a Ctrl rectangle zooms nothing";
  Drag(Centre(4) + QPoint(10, 10), Centre(4) + QPoint(30, 30), Qt::ControlModifier);
  EXPECT_EQ(toggled_.size(), 2u) << "a rectangle over no marker toggles none";

  Click(Centre(4), Qt::NoModifier);
  EXPECT_EQ(picked_, (std::vector<std::pair<int, int>>{{1, 2}})) << "a plain click picks";
  Drag(Centre(0), Centre(2), Qt::NoModifier);
  EXPECT_LT(Maximum(view_.Section()) - Minimum(view_.Section()), before / 2) << "a plain rectangle zooms";
  EXPECT_EQ(toggled_.size(), 2u);

  // A repeat on the left-out record's square: the marker goes out whole, then comes back whole.
  points_.push_back(points_[3]);
  points_.back().file = 0, points_.back().record = 9, points_.back().left_out.clear();
  view_.ShowPoints(points_);
  view_.Section()->ReplotNow();
  Click(Centre(3), Qt::ControlModifier);
  ASSERT_EQ(toggled_.size(), 3u);
  EXPECT_EQ(toggled_[2], (std::vector<std::pair<int, int>>{{0, 9}}));
  points_.back().left_out = "by hand";
  view_.ShowPoints(points_);
  Click(Centre(3), Qt::ControlModifier);
  ASSERT_EQ(toggled_.size(), 4u);
  EXPECT_EQ(toggled_[3], (std::vector<std::pair<int, int>>{{1, 1}, {0, 9}}));
}

// The ground above the section has the section's x limits, and puts an x at the same
// column of the screen, after every change of them; toggling a record keeps the zoom.
TEST_F(LineViewTest, TheGroundFollowsTheSectionsX) {
  Chart* ground = view_.GroundChart();
  EXPECT_TRUE(ground->isHidden()) << "a single survey has none";
  view_.ShowGround({{-5, 100}, {20, 104}, {45, 101}}, {{0, 100.8}, {10, 102.4}, {40, 101.6}});
  QApplication::processEvents();
  ASSERT_TRUE(ground->isVisible());
  EXPECT_GE(ground->height(), 90);
  EXPECT_LT(ground->geometry().bottom(), view_.Section()->geometry().top());
  auto same_x = [&](const char* when) {
    view_.Section()->ReplotNow();
    ground->ReplotNow();
    EXPECT_EQ(Minimum(ground), Minimum(view_.Section())) << when;
    EXPECT_EQ(Maximum(ground), Maximum(view_.Section())) << when;
    for (double x : {0.0, 30.0}) {
      const int below = view_.Section()
                            ->MouseSurface()
                            ->mapTo(&view_, QPoint(int(view_.Section()->BottomAxis().PixelAtValue(x)), 0))
                            .x();
      const int above = ground->MouseSurface()->mapTo(&view_, QPoint(int(ground->BottomAxis().PixelAtValue(x)), 0)).x();
      EXPECT_NEAR(above, below, 1) << when << ", x = " << x;
    }
  };
  same_x("as shown");
  // The ground shows every electrode, those beyond the records' places too.
  view_.ShowGround({{-25, 100}, {20, 104}, {75, 101}}, {{-15, 100.8}, {10, 102.4}, {65, 101.6}});
  view_.ShowAll();
  same_x("electrodes beyond the records");
  EXPECT_LT(Minimum(ground), -15);
  EXPECT_GT(Maximum(ground), 65);
  std::vector<PseudosectionPoint> wider = points_;
  wider.push_back({.record = 3, .x = 80, .depth = 3, .rhoa = 50, .file = 1});
  view_.ShowPoints(wider);
  same_x("after new points");
  EXPECT_GT(Maximum(ground), 80);

  Drag(Centre(1), Centre(3), Qt::NoModifier);
  same_x("after a zoom");
  const double zoomed[] = {Minimum(view_.Section()), Maximum(view_.Section())};
  EXPECT_LT(zoomed[1] - zoomed[0], 40);
  wider[3].left_out.clear();
  wider[1].left_out = "electrode";
  view_.ShowPoints(wider);
  view_.Section()->ReplotNow();
  EXPECT_EQ(Minimum(view_.Section()), zoomed[0]) << "a toggle keeps the zoom";
  EXPECT_EQ(Maximum(view_.Section()), zoomed[1]);
  EXPECT_EQ(view_.Section()->SeriesAt(2).Points().at(0).x, 10);
  view_.SetQuantity(SurveyView::Quantity::Error);
  view_.Section()->ReplotNow();
  EXPECT_EQ(Minimum(view_.Section()), zoomed[0]) << "another quantity over the same places keeps the zoom";

  view_.ShowGround({}, {});
  EXPECT_TRUE(ground->isHidden());
}

// Records in one place share a marker that names them all: coloured by their median in
// the ρa view and by the largest error in the error view.
TEST_F(LineViewTest, OneMarkerNamesEveryRecordInItsPlaceWithAStatedColour) {
  std::vector<PseudosectionPoint> points = points_;
  for (auto [record, rhoa, error] : {std::tuple{7, 25.0, 3.0}, std::tuple{8, 39.0, 0.2}}) {
    PseudosectionPoint repeat = points_[1];
    repeat.record = record, repeat.rhoa = rhoa, repeat.error_pct = repeat.plotted_error_pct = error;
    points.push_back(repeat);
  }
  view_.ShowPoints(points);
  view_.Section()->ReplotNow();
  auto marker_at = [&](double x) {
    std::vector<SeriesPoint> found;
    for (const SeriesPoint& p : view_.Section()->SeriesAt(0).Points())
      if (p.x == x) found.push_back(p);
    return found;
  };
  ASSERT_EQ(marker_at(10).size(), 1u) << "three records, one marker";
  EXPECT_EQ(marker_at(10)[0].colour, view_.Section()->ScaleColour(25)) << "the median of 20, 25 and 39";
  view_.SetQuantity(SurveyView::Quantity::Error);
  EXPECT_EQ(marker_at(10)[0].colour, view_.Section()->ScaleColour(3)) << "the largest error";

  Send(QEvent::MouseMove, Centre(1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  const QStringList lines = QToolTip::text().split('\n');
  ASSERT_EQ(lines.size(), 4) << QToolTip::text().toStdString();
  EXPECT_TRUE(lines[0].contains("записей в одном месте: 3")) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains("по наибольшей ошибке")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith("a.qmr, запись 2: ")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].contains("запись 7: ") && lines[2].contains("ошибка=3%")) << lines[2].toStdString();
  EXPECT_TRUE(lines[3].contains("запись 8: ") && lines[3].contains("ρк=39.00")) << lines[3].toStdString();
}

// Automatic limits are the 2nd and 98th percentiles, so one wild record does not wash out
// the rest; fixed limits keep every colour when a record goes out; the bar is labelled
// at both ends and between.
TEST_F(LineViewTest, TheColourScaleIsAutomaticOrFixedAndLabelledAtItsEnds) {
  std::vector<PseudosectionPoint> points;
  for (int i = 0; i < 60; ++i)
    points.push_back({.record = i + 1,
                      .x = double(i),
                      .depth = 1,
                      .rhoa = 10.0 + i,
                      .error_pct = 0.1,
                      .plotted_error_pct = 0.1,
                      .chargeability = NAN});
  points.push_back({.record = 61,
                    .x = 60,
                    .depth = 2,
                    .rhoa = 1e6,
                    .error_pct = 0.1,
                    .plotted_error_pct = 0.1,
                    .chargeability = NAN});
  view_.ShowPoints(points);
  auto colour_of = [&](double x) {
    for (const SeriesPoint& p : view_.Section()->SeriesAt(0).Points())
      if (p.x == x) return p.colour;
    return QColor();
  };
  EXPECT_EQ(colour_of(0), QColor(0, 0, 100)) << "the lowest at the blue end";
  EXPECT_EQ(colour_of(59), QColor(100, 0, 0)) << "ρa 69 at the red end with the wild one";
  EXPECT_EQ(colour_of(60), QColor(100, 0, 0));
  EXPECT_NE(colour_of(30), QColor(0, 0, 100)) << "the rest spread over the scale";

  // Fixed limits typed in the view: the bar's end values, and a record leaving changes no colour.
  std::vector<std::pair<SurveyView::Quantity, ScaleChoice>> chosen;
  QObject::connect(&view_, &SurveyView::ScaleChosen,
                   [&](SurveyView::Quantity q, const ScaleChoice& c) { chosen.emplace_back(q, c); });
  ChooseFixedScale(&view_, "5", "200");
  ASSERT_FALSE(chosen.empty());
  EXPECT_EQ(chosen.back().first, SurveyView::Quantity::Rhoa);
  EXPECT_TRUE(chosen.back().second.fixed);
  EXPECT_EQ(chosen.back().second.low, 5);
  EXPECT_EQ(chosen.back().second.high, 200);
  const QColor before = colour_of(30);
  EXPECT_EQ(before, view_.Section()->ScaleColour(40));
  points[59].left_out = "by hand";
  points[60].left_out = "by hand";
  view_.ShowPoints(points);
  EXPECT_EQ(colour_of(30), before) << "fixed limits: a record leaving changes no colour";

  const std::string svg = dir_.File("bar.svg");
  ASSERT_TRUE(SaveChartsImage(QString::fromStdString(svg), view_.Picture()));
  const QStringList texts = SvgTexts(svg);
  const qsizetype bar = texts.indexOf("5");
  ASSERT_GE(bar, 0);
  EXPECT_EQ(texts.mid(bar, 6), QStringList({"5", "10", "20", "50", "100", "200"}))
      << "from the low limit to the high one: " << texts.join('|').toStdString();
  // A narrow bar is labelled with the digits that tell its ticks apart.
  ChooseFixedScale(&view_, "49.994", "50.029");
  ASSERT_TRUE(SaveChartsImage(QString::fromStdString(svg), view_.Picture()));
  const QStringList narrow = SvgTexts(svg);
  const qsizetype from = narrow.indexOf("49.99");
  ASSERT_GE(from, 0) << narrow.join('|').toStdString();
  EXPECT_EQ(narrow.mid(from, 5), QStringList({"49.99", "50", "50.01", "50.02", "50.03"}));
  ChooseFixedScale(&view_, "5", "200");

  // Limits a log scale cannot draw are refused, and told.
  auto* low = view_.findChild<QLineEdit*>("ScaleLowEdit");
  low->selectAll();
  QTest::keyClicks(low, "-1");
  QTest::keyClick(low, Qt::Key_Return);
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(view_.ScaleChoiceOf(SurveyView::Quantity::Rhoa).low, 5);
  EXPECT_EQ(low->text(), "5");
}

// M ≤ 0 is a colour of a scale that diverges about zero; ρa ≤ 0 has a mark of its own,
// counted in the caption; every kind of mark on show is explained in the picture.
TEST_F(LineViewTest, ValuesALogScaleCannotShowAreDrawnCountedAndExplained) {
  std::vector<PseudosectionPoint> points = points_;
  points[0].rhoa = -5, points[0].chargeability = -12;
  points[1].chargeability = 30, points[2].chargeability = 0, points[4].chargeability = 8;
  points[2].rhoa = NAN;
  view_.SetCaption("Разрез");
  view_.ShowPoints(points);
  EXPECT_EQ(view_.windowTitle(), "Разрез — ρк ≤ 0: 1");
  const std::vector<SeriesPoint> triangles = view_.Section()->SeriesAt(3).Points();
  ASSERT_EQ(triangles.size(), 1u);
  EXPECT_EQ(triangles[0].x, 0);
  auto saved_text = [&](const char* name) {
    const std::string svg = dir_.File(name);
    EXPECT_TRUE(SaveChartsImage(QString::fromStdString(svg), view_.Picture()));
    return SvgText(svg);
  };
  const QString rhoa = saved_text("rhoa.svg");
  for (const char* legend : {"ρк ≤ 0", "нет значения", "исключена", "Псевдоглубина, м"})
    EXPECT_TRUE(rhoa.contains(legend)) << legend;

  view_.SetQuantity(SurveyView::Quantity::Chargeability);
  EXPECT_EQ(view_.windowTitle(), "Разрез") << "ρa's count while ρa colours the section alone";
  std::map<double, QColor> colours;
  for (const SeriesPoint& p : view_.Section()->SeriesAt(0).Points()) colours[p.x] = p.colour;
  ASSERT_EQ(colours.size(), 4u) << "M = -12, 0, 30 and 8 all coloured";
  EXPECT_GT(colours[0].blue(), colours[0].red()) << "below zero: blue";
  EXPECT_GT(colours[10].red(), colours[10].blue()) << "above zero: red";
  EXPECT_NEAR(colours[20].red(), colours[20].blue(), 10) << "zero: neither";

  view_.SetScaleChoice(SurveyView::Quantity::Chargeability, {.logarithmic = true});
  EXPECT_EQ(view_.Section()->SeriesAt(3).Count(), 2) << "on a log scale M ≤ 0 is a triangle";
  EXPECT_TRUE(saved_text("m.svg").contains("M ≤ 0"));

  view_.SetQuantity(SurveyView::Quantity::ErrorClasses);
  const QString classes = saved_text("classes.svg");
  for (const char* legend : {"ошибка ≤ 1 %", "1–5 %", "5–15 %", "> 15 %"})
    EXPECT_TRUE(classes.contains(legend)) << legend;
}

// The wheel zooms as on the record charts (toward the user: in, about the pointer); a
// double click and Home show everything again.
TEST_F(LineViewTest, TheWheelZoomsInTowardTheUserAndHomeShowsAll) {
  const double whole[] = {Minimum(view_.Section()), Maximum(view_.Section())};
  const QPoint at = Centre(2);
  const double x = view_.Section()->BottomAxis().ValueAtPixel(at.x());
  QWidget* plot = PlotOf(view_.Section());
  QWheelEvent toward(QPointF(at), QPointF(plot->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(plot, &toward);
  EXPECT_NEAR(Maximum(view_.Section()) - Minimum(view_.Section()), 0.75 * (whole[1] - whole[0]), 1e-9);
  EXPECT_NEAR((x - Minimum(view_.Section())) / (Maximum(view_.Section()) - Minimum(view_.Section())),
              (x - whole[0]) / (whole[1] - whole[0]), 1e-9)
      << "about the pointer";
  QTest::mouseDClick(plot, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(Minimum(view_.Section()), whole[0]);
  EXPECT_EQ(Maximum(view_.Section()), whole[1]);

  QApplication::sendEvent(plot, &toward);
  QTest::keyClick(&view_, Qt::Key_Home);
  EXPECT_EQ(Maximum(view_.Section()) - Minimum(view_.Section()), whole[1] - whole[0]) << "Home";
}

// On a line with its ground, the section in elevation: each marker at the ground under it
// less its pseudo-depth, under the ground's profile; by pseudo-depth the ground is drawn
// above, and saved with the section.
TEST_F(LineViewTest, ASectionInElevationUnderItsGround) {
  std::vector<PseudosectionPoint> points = points_;
  PlaceOnGround(points, std::vector<std::pair<double, double>>{{-5, 100}, {20, 104}, {45, 101}});
  view_.ShowGround({{-5, 100}, {20, 104}, {45, 101}}, {{0, 100.8}, {40, 101.6}});
  view_.ShowPoints(points);
  QApplication::processEvents();
  const std::string both = dir_.File("both.png");
  ASSERT_EQ(view_.Section()->SaveImageAsked(QString::fromStdString(both)), "");
  EXPECT_GE(QImage(QString::fromStdString(both)).height(), view_.GroundChart()->height() + view_.Section()->height())
      << "the ground above the section in the picture";

  view_.findChild<QCheckBox*>("ElevationBox")->setChecked(true);
  std::map<double, double> shown;
  for (int series : {0, 2})
    for (const SeriesPoint& p : view_.Section()->SeriesAt(series).Points()) shown[p.x] = p.y;
  ASSERT_EQ(shown.size(), 5u);
  EXPECT_NEAR(shown[10], 100 + 4 * 15.0 / 25 - 1.1, 1e-9) << "the ground at x = 10 less the pseudo-depth";
  EXPECT_NEAR(shown[30], 104 - 3 * 10.0 / 25 - 1.3, 1e-9);
  EXPECT_EQ(view_.Section()->SeriesAt(4).Count(), 3) << "the ground's profile in the section";
  EXPECT_TRUE(view_.GroundChart()->isHidden());
  const std::string svg = dir_.File("elevation.svg");
  ASSERT_TRUE(SaveChartsImage(QString::fromStdString(svg), view_.Picture()));
  EXPECT_TRUE(SvgText(svg).contains("Высота, м"));
}

}  // namespace

// Another survey is shown whole, whatever the zoom of the last one, even where its
// records stand where the last one's did.
TEST_F(SurveyViewTest, AnotherSurveyIsShownWhole) {
  OpenChecked();
  const double whole = view_->Section()->BottomAxis().Maximum() - view_->Section()->BottomAxis().Minimum();
  view_->Section()->BottomAxis().SetLimits(10, 20);
  Open(Survey("again.qmr", {.blocks = 6,
                            .channels = 4,
                            .spacing_m = 5,
                            .half_period = 100,
                            .second_length = 100,
                            .period_count = 2,
                            .noise_mv = 0.01,
                            .physical = true}));
  EXPECT_NEAR(view_->Section()->BottomAxis().Maximum() - view_->Section()->BottomAxis().Minimum(), whole, 1e-9);
}

// The view's menu saves its points as the batch tool's section command writes them.
TEST_F(SurveyViewTest, ThePointsSavedFromTheMenuAreTheBatchToolsTable) {
  OpenChecked();
  const std::string saved = dir_.File("view-points.csv"), batch = dir_.File("batch-points.csv");
  QString suggested;
  view_->SetSaveDialog([&](QWidget*, const QString& name) {
    suggested = name;
    return QString::fromStdString(saved);
  });
  QMenu* menu = view_->findChild<QToolButton*>("SurveyViewMenu")->menu();
  for (QAction* action : menu->actions())
    if (action->text().startsWith("Сохранить точки")) action->trigger();
  EXPECT_EQ(suggested, "dd-points.csv");
  ASSERT_TRUE(std::filesystem::exists(saved));
  QProcess tool;
  tool.start(VOSTREL_BATCH, {"section", QString::fromStdString(dir_.File("dd.qmr")), QString::fromStdString(batch)});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0);
  EXPECT_EQ(ReadWholeFile(saved), ReadWholeFile(batch));
}

// Both views open wholly on the screen below the control panel, owned by the window
// (the window manager keeps them above it), come forward at a press of their button
// however they were put away, and keep their size when a long text is shown.
TEST_F(SurveyViewTest, ViewsOpenOnTheScreenAboveTheWindowAndComeForward) {
  form_->showMaximized();
  Open(Survey("dd.qmr", {.blocks = 6, .channels = 4, .half_period = 100, .second_length = 100, .physical = true}));
  Click("CheckB");
  Click("SurveyViewB");
  view_ = form_->findChild<SurveyView*>("SurveyView");
  ASSERT_NE(view_, nullptr);
  const QRect screen = form_->screen()->availableGeometry();
  const QRect panel(Control<QFrame>("Panel1")->mapToGlobal(QPoint(0, 0)), Control<QFrame>("Panel1")->size());
  Click("DecayB");
  auto* decay = form_->findChild<DecayView*>("DecayView");
  ASSERT_NE(decay, nullptr);
  for (QWidget* view : {static_cast<QWidget*>(view_), static_cast<QWidget*>(decay)}) {
    ASSERT_TRUE(view->isWindow()) << view->objectName().toStdString();
    ASSERT_NE(view->windowHandle(), nullptr);
    EXPECT_EQ(view->windowHandle()->transientParent(), form_->windowHandle());
    EXPECT_TRUE(screen.contains(view->frameGeometry())) << view->objectName().toStdString();
    EXPECT_FALSE(view->frameGeometry().intersects(panel)) << view->objectName().toStdString();
  }
  // What an export wrote is told over the charts, clear of both views, as they opened and
  // with the survey view made small and the decay view moved over the right end of the
  // charts only.
  auto* notice = Control<QLabel>("NoticeLabel");
  auto* charts = Control<QWidget>("Splitters");
  const QRect charts_on_screen(charts->mapToGlobal(QPoint(0, 0)), charts->size());
  for (int moved : {0, 1}) {
    if (moved) {
      view_->resize(200, 200);
      decay->move(charts_on_screen.right() - 40, charts_on_screen.top());
    }
    Click("ExportB");
    ASSERT_TRUE(notice->isVisible());
    EXPECT_TRUE(charts_on_screen.contains(notice->frameGeometry())) << moved;
    for (QWidget* view : {static_cast<QWidget*>(view_), static_cast<QWidget*>(decay)})
      EXPECT_FALSE(view->frameGeometry().intersects(notice->frameGeometry())) << view->objectName().toStdString();
  }

  for (auto [view, button] : {std::pair<QWidget*, const char*>{view_, "SurveyViewB"}, {decay, "DecayB"}}) {
    view->showMinimized();
    Click(button);
    EXPECT_FALSE(view->isMinimized()) << button;
    EXPECT_TRUE(view->isVisible()) << button;
  }
  EXPECT_TRUE(Control<QPushButton>("DecayB")->isChecked()) << "a press brings a minimised view back";

  view_->resize(600, 400);
  QApplication::processEvents();
  const QPoint marker(qRound(view_->Section()->BottomAxis().PixelAtValue(Markers().front().x)),
                      qRound(view_->Section()->LeftAxis().PixelAtValue(Markers().front().y)));
  QWidget* plot = PlotOf(view_->Section());
  QMouseEvent move(QEvent::MouseMove, QPointF(marker), QPointF(plot->mapToGlobal(marker)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
  QApplication::processEvents();
  ASSERT_FALSE(view_->findChild<QLabel*>("RecordInfo")->text().isEmpty());
  EXPECT_EQ(view_->width(), 600) << "the record's line does not widen the view";
}
