// The survey view: every checked record a marker where its electrodes and their depth
// of investigation put it, coloured by the scale, and a click that shows the record.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "form_fixture.h"
#include "main/decay_view.h"
#include "vari.h"

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

// A sound dipole-dipole survey has dU < 0: the check's strip shows the fixed 50 % (or
// 200 % with "Модуль dU"), while the view shows the stacking error and the signed ρa.
TEST_F(SurveyViewTest, DipoleDipoleShowsItsStackingErrorAndSignedRhoaWhateverTheModulus) {
  for (bool modulus : {false, true}) {
    SCOPED_TRACE(modulus ? "Модуль dU" : "dU as measured");
    Control<QCheckBox>("AbsBox")->setChecked(modulus);
    OpenChecked();
    EXPECT_NEAR(Control<Chart>("Chart2")->SeriesAt(0).Points().front().y, modulus ? 200 : 50, 1)
        << "the strip as before";

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
  EXPECT_EQ(Markers().size() + view_->Section()->SeriesAt(1).Count(), 12u);
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
  EXPECT_GE(edges_inside(), section->SeriesAt(0).MarkerHalfSize() + 1) << "as first shown";
  view_->resize(450, 350);
  QApplication::processEvents();
  section->ReplotNow();
  const int half = section->SeriesAt(0).MarkerHalfSize();
  std::vector<QPointF> pixels;
  for (const SeriesPoint& p : Markers())
    pixels.emplace_back(section->BottomAxis().PixelAtValue(p.x), section->LeftAxis().PixelAtValue(p.y));
  ASSERT_EQ(pixels.size(), 320u);
  int overlapping = 0;
  for (size_t i = 0; i < pixels.size(); ++i)
    for (size_t j = 0; j < i; ++j) {
      const double apart = std::max(std::abs(pixels[i].x() - pixels[j].x()), std::abs(pixels[i].y() - pixels[j].y()));
      if (apart >= 0.5 && apart < 2 * half + 1) ++overlapping;
    }
  EXPECT_EQ(overlapping, 0) << "half size " << half;
  EXPECT_GE(half, 1);
  EXPECT_GE(edges_inside(), half + 1);
}

}  // namespace

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

  Click("DecayB");
  EXPECT_TRUE(decay->isVisible()) << "a press while it is on keeps it";
  EXPECT_TRUE(Control<QPushButton>("DecayB")->isChecked());
  for (auto [view, button] : {std::pair<QWidget*, const char*>{view_, "SurveyViewB"}, {decay, "DecayB"}}) {
    view->showMinimized();
    Click(button);
    EXPECT_FALSE(view->isMinimized()) << button;
    EXPECT_TRUE(view->isVisible()) << button;
  }

  view_->resize(400, 400);
  QApplication::processEvents();
  const QPoint marker(qRound(view_->Section()->BottomAxis().PixelAtValue(Markers().front().x)),
                      qRound(view_->Section()->LeftAxis().PixelAtValue(Markers().front().y)));
  QWidget* plot = PlotOf(view_->Section());
  QMouseEvent move(QEvent::MouseMove, QPointF(marker), QPointF(plot->mapToGlobal(marker)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(plot, &move);
  QApplication::processEvents();
  ASSERT_FALSE(view_->findChild<QLabel*>("RecordInfo")->text().isEmpty());
  EXPECT_EQ(view_->width(), 400) << "the record's line does not widen the view";
}
