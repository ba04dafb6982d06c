// The survey view: every checked record a marker where its electrodes and their depth
// of investigation put it, coloured by the scale, and a click that shows the record.

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "analysis/reciprocal_pairs.h"
#include "analysis/survey_measurements.h"
#include "form_fixture.h"
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

TEST_F(SurveyViewTest, TheViewFollowsOpensAndChecks) {
  OpenChecked();
  EXPECT_EQ(Markers().size(), 24u);
  Open(Survey("other.qmr"));
  EXPECT_TRUE(Markers().empty()) << "a new survey has no check yet";
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

  Open(Survey("plain.qmr"));
  EXPECT_FALSE(errors->isVisible()) << "no pairs: no model";
}

}  // namespace
