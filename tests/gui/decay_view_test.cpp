// The decay view: off until the user asks, then the core's stacked decay and gates for
// the record on show, the gates the user sets, and M in the survey view and the exports.

#include "views/decay_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "form_fixture.h"
#include "main/language.h"
#include "measurement/data_file.h"
#include "measurement/record_loader.h"
#include "output/section_table.h"
#include "processing/record_evaluation.h"

namespace {

class DecayViewTest : public FormTest {
 protected:
  void OpenPolarised() {
    SynthOptions o{.blocks = 3, .channels = 4, .half_period = 200, .second_length = 200, .period_count = 4};
    o.physical = true;
    o.rho_ohm_m = 100;
    o.noise_mv = 0.05;
    o.chargeability_mv_v = 40;
    o.tau_ms = 50;
    path_ = Survey("ip.qmr", o);
    Open(path_);
  }
  // What the core gives for record k with these gates.
  Chargeability CoreResult(int k, const std::vector<Gate>& gates = {}) {
    auto v = FreshVari(path_);
    OpenSurvey(*v);
    DataFileSession session(v->work.DataFile, v->survey->DataFileName);
    const IpSettings settings{gates, {}};
    LoadRecordSamples(*v->survey, v->work, k, false);
    return *EvaluateLoadedRecord(*v->survey, v->work, k, {}, &settings, nullptr, true).ip;
  }
  DecayView* View() { return form_->findChild<DecayView*>("DecayView"); }
  std::string path_;
};

TEST_F(DecayViewTest, OffUntilAskedThenTheCoresDecayAndGates) {
  OpenPolarised();
  EXPECT_EQ(View(), nullptr) << "the window is as specified until the view is asked for";
  EXPECT_FALSE(Control<QPushButton>("DecayB")->isChecked());
  EXPECT_EQ(Control<QPushButton>("SaveB")->geometry(), QRect(1, 31, 97, 25));

  Click("DecayB");
  ASSERT_NE(View(), nullptr);
  ASSERT_TRUE(View()->isVisible());
  Chart* chart = View()->DecayChart();
  chart->resize(700, 400);
  chart->ReplotNow();
  const Chargeability expected = CoreResult(1);
  const std::vector<SeriesPoint> decay = chart->SeriesAt(0).Points();
  ASSERT_EQ(decay.size(), 200u);
  EXPECT_NEAR(decay[9].x, expected.time_ms[9], 1e-12);
  EXPECT_NEAR(decay[9].y, 1000 * expected.decay_mv[9] / expected.vp, 1e-9) << "the decay in mV/V";
  const std::vector<SeriesPoint> bars = chart->SeriesAt(1).Points();
  ASSERT_EQ(bars.size(), expected.gates.size());
  for (size_t i = 0; i < bars.size(); ++i) {
    EXPECT_NEAR(bars[i].y, expected.gates[i].m, 1e-12);
    EXPECT_NEAR(bars[i].x, std::sqrt(expected.gates[i].gate.t1_ms * expected.gates[i].gate.t2_ms), 1e-9);
  }
  // A logarithmic time axis: each decade as wide as the next.
  ChartAxis& time = chart->BottomAxis();
  EXPECT_NEAR(time.PixelAtValue(10) - time.PixelAtValue(1), time.PixelAtValue(100) - time.PixelAtValue(10), 0.5);
  const QString info = View()->findChild<QLabel*>("DecayInfo")->text();
  EXPECT_TRUE(info.contains("M = " + QString::number(expected.m, 'f', 3) + " ± ")) << info.toStdString();
  EXPECT_TRUE(info.contains("Mt = ")) << info.toStdString();

  // The bar of the widest gate is drawn in red across its interval on both sides of its
  // marker, and no further.
  const QImage picture = Picture(chart);
  const GateChargeability& last = expected.gates.back();
  const int y = qRound(chart->LeftAxis().PixelAtValue(last.m));
  const int marker = qRound(time.PixelAtValue(bars.back().x));
  const int t1 = qRound(time.PixelAtValue(last.gate.t1_ms)), t2 = qRound(time.PixelAtValue(last.gate.t2_ms));
  auto red_columns = [&](int from, int to) {
    int red = 0;
    for (int x = from; x < to; ++x)
      for (int dy = -1; dy <= 1; ++dy)
        if (picture.pixelColor(x, y + dy) == QColor(Qt::red)) {
          ++red;
          break;
        }
    return red;
  };
  ASSERT_GT(marker - 6 - (t1 + 3), 20);
  ASSERT_GT(t2 - 3 - (marker + 6), 20);
  EXPECT_GT(red_columns(t1 + 3, marker - 6), (marker - 6 - (t1 + 3)) * 9 / 10) << "left of the marker";
  EXPECT_GT(red_columns(marker + 6, t2 - 3), (t2 - 3 - (marker + 6)) * 9 / 10) << "right of the marker";
  EXPECT_EQ(red_columns(t2 + 3, t2 + 15), 0) << "the bar ends with the gate";

  TypeRecordNumber("3");
  EXPECT_NEAR(chart->SeriesAt(1).Points().front().y, CoreResult(3).gates.front().m, 1e-12) << "it follows the record";

  Chargeability none;
  none.m = NAN;
  View()->Show(none);
  EXPECT_EQ(chart->SeriesAt(1).Count(), 0);
  EXPECT_LT(chart->LeftAxis().Maximum(), expected.gates.front().m / 2) << "no answer keeps no scale of the last one";

  // A record without an answer says why.
  SynthOptions short_pauses{.blocks = 1, .channels = 1, .half_period = 10, .second_length = 10, .period_count = 4};
  short_pauses.physical = true;
  short_pauses.chargeability_mv_v = 40;
  Open(Survey("short.qmr", short_pauses));
  ASSERT_NE(View(), nullptr);
  EXPECT_EQ(View()->findChild<QLabel*>("DecayInfo")->text().toStdString(),
            "Нет ответа: полупериод короче окна усреднения");
}

TEST_F(DecayViewTest, GatesSetInTheViewOrRefusedWithTheReason) {
  OpenPolarised();
  DecayView* view = form_->ShowDecayView();
  ASSERT_NE(view, nullptr);
  auto* gates = view->findChild<QLineEdit*>("GatesEdit");
  EXPECT_EQ(gates->text(), "2:6,6:14,14:30,30:62,62:126") << "the default gates of a 200 ms pause";
  gates->setText("20:40,40:80");
  QTest::mouseClick(view->findChild<QPushButton*>("GatesB"), Qt::LeftButton);
  const std::vector<SeriesPoint> bars = view->DecayChart()->SeriesAt(1).Points();
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_NEAR(bars[1].y, CoreResult(1, {{20, 40}, {40, 80}}).gates[1].m, 1e-12);

  gates->setText("20:4000");
  QTest::mouseClick(view->findChild<QPushButton*>("GatesB"), Qt::LeftButton);
  ASSERT_EQ(messages_.Messages().size(), 1u);
  EXPECT_EQ(messages_.Messages()[0], "gate 20:4000 ms lies outside the pause of 200 ms");
  EXPECT_EQ(gates->text(), "20:4000") << "what was typed stays, to be corrected";
  EXPECT_EQ(CoreErrorText(QString::fromStdString(messages_.Messages()[0])),
            "Окно 20:4000 мс выходит за паузу в 200 мс");
  EXPECT_EQ(view->DecayChart()->SeriesAt(1).Count(), 2) << "the gates in use stay";
  TypeRecordNumber("2");
  EXPECT_EQ(view->DecayChart()->SeriesAt(1).Count(), 2);

  gates->clear();
  QTest::keyClick(gates, Qt::Key_Return);
  EXPECT_EQ(gates->text(), "2:6,6:14,14:30,30:62,62:126") << "an empty field: the default gates again";
  EXPECT_EQ(view->DecayChart()->SeriesAt(1).Count(), 5);

  // Another survey starts with the default gates of its own pause.
  gates->setText("20:40,40:80");
  QTest::keyClick(gates, Qt::Key_Return);
  Open(Survey("short.qmr", {.blocks = 2, .channels = 2, .half_period = 100, .second_length = 100, .period_count = 4}));
  EXPECT_EQ(gates->text(), "1:3,3:7,7:15,15:31,31:63");
  EXPECT_EQ(view->DecayChart()->SeriesAt(1).Count(), 5);

  view->close();
  EXPECT_FALSE(Control<QPushButton>("DecayB")->isChecked()) << "closing the view switches it off";
}

TEST_F(DecayViewTest, ChargeabilityInTheSurveyViewAndTheExportsWhileOn) {
  OpenPolarised();
  auto* formats = Control<QComboBox>("ExportFormatBox");
  formats->setCurrentText("csv");
  Click("ExportB");
  auto header = [&] {
    std::ifstream table(dir_.File("ip.csv"));
    std::string line;
    std::getline(table, line);
    return line.substr(0, line.find('\r'));
  };
  EXPECT_EQ(header(), "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho") << "off: the table as before";

  Click("DecayB");
  Click("ExportB");
  EXPECT_EQ(header(), "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho,M,Merr,M1,M2,M3,M4,M5");

  Click("CheckB");
  SurveyView* survey = form_->ShowSurveyView();
  survey->SetQuantity(SurveyView::Quantity::Chargeability);
  QApplication::processEvents();
  EXPECT_EQ(survey->Section()->SeriesAt(0).Count(), 12) << "every record coloured by its M";
  EXPECT_EQ(survey->Section()->SeriesAt(1).Count(), 0);
  EXPECT_TRUE(messages_.Messages().empty());

  // Other gates check the survey again: the section's M is never the old gates'.
  auto first_m = [&] {
    survey->SavePoints(QString::fromStdString(dir_.File("points.csv")));
    std::ifstream table(dir_.File("points.csv"));
    auto fields = [](const std::string& line) {
      std::vector<std::string> values;
      for (std::stringstream in(line); std::getline(in, values.emplace_back(), ',');) {
      }
      return values;
    };
    std::string line;
    std::getline(table, line);
    const std::vector<std::string> names = fields(line);
    const auto column = [&](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    while (std::getline(table, line))
      if (const std::vector<std::string> row = fields(line); row[static_cast<size_t>(column("record"))] == "1")
        return std::stod(row[static_cast<size_t>(column("chargeability"))]);
    return std::nan("");
  };
  auto* gates = View()->findChild<QLineEdit*>("GatesEdit");
  gates->setText("20:40,40:80");
  QTest::keyClick(gates, Qt::Key_Return);
  WaitForPass();
  EXPECT_NEAR(first_m(), CoreResult(1, {{20, 40}, {40, 80}}).m, 1e-3);

  // Its own button switches it off, as closing the view does.
  Click("DecayB");
  EXPECT_FALSE(Control<QPushButton>("DecayB")->isChecked());
  EXPECT_FALSE(View()->isVisible());
  Click("ExportB");
  EXPECT_EQ(header(), "Spa.1,Spa.2,Spa.3,Spa.4,Vp,In,Dev.,Sp,Rho");
}

// The decay's picture names the record and carries what the view says of it: M, Mt, Vp,
// or why there is no answer.
TEST_F(DecayViewTest, ThePictureCarriesTheAnswerOrItsReason) {
  OpenPolarised();
  DecayView* view = form_->ShowDecayView();
  TypeRecordNumber("2");
  const std::string svg = dir_.File("decay.svg");
  ASSERT_EQ(view->DecayChart()->SaveImageAsked(QString::fromStdString(svg)), "");
  const QString text = SvgText(svg);
  const Chargeability expected = CoreResult(2);
  EXPECT_TRUE(text.contains("ip.qmr — запись 2: A=1 B=2 M=4 N=5 — спад ВП")) << text.toStdString();
  EXPECT_TRUE(text.contains("M = " + QString::number(expected.m, 'f', 3) + " ± ")) << text.toStdString();
  // Every decimal, as the batch tool's ip prints it (Vp of hundreds of mV too).
  EXPECT_TRUE(text.contains("Vp = " + QString::number(expected.vp, 'f', 3) + " мВ")) << text.toStdString();
  ASSERT_GT(std::abs(expected.vp), 100);

  Open(Survey(
      "short.qmr",
      {.blocks = 1, .channels = 1, .half_period = 10, .second_length = 10, .period_count = 4, .physical = true}));
  ASSERT_EQ(view->DecayChart()->SaveImageAsked(QString::fromStdString(svg)), "");
  EXPECT_TRUE(SvgText(svg).contains("Нет ответа: полупериод короче окна усреднения")) << SvgText(svg).toStdString();
}

// The Cole-Cole decay fitted to the gates is drawn beside the measured one and its m, τ,
// c and misfit printed: over a ground without noise, the ground's own (the first
// record's τ is 1.25 times the survey's, its m the survey's). "Экспорт спадов" writes the
// long table of every gate beside the survey.
TEST_F(DecayViewTest, TheFittedDecayWithItsGroundAndTheLongTable) {
  SynthOptions o{.blocks = 2, .channels = 2, .half_period = 200, .second_length = 200, .period_count = 4};
  o.physical = true;
  o.rho_ohm_m = 100;
  o.noise_mv = 0;
  o.chargeability_mv_v = 40;
  o.tau_ms = 37.28;  // 46.6 ms for the first record
  o.cole_c = 0.6;
  path_ = Survey("fit.qmr", o);
  Open(path_);
  Click("DecayB");
  ASSERT_NE(View(), nullptr);
  const QString fit = View()->findChild<QLabel*>("DecayFitInfo")->text();
  EXPECT_TRUE(fit.contains("τ = 46.60 ± ")) << fit.toStdString();
  EXPECT_TRUE(fit.contains("c = 0.600 ± ")) << fit.toStdString();
  EXPECT_TRUE(fit.contains("m = 40.00")) << fit.toStdString();
  EXPECT_TRUE(fit.contains("χ² на окно = ")) << fit.toStdString();

  Chart* chart = View()->DecayChart();
  const std::vector<SeriesPoint> decay = chart->SeriesAt(0).Points();
  const std::vector<SeriesPoint> fitted = chart->SeriesAt(2).Points();
  ASSERT_EQ(fitted.size(), 60u);
  for (const SeriesPoint& at : {fitted.front(), fitted.back()}) {
    const auto sample = std::min_element(decay.begin(), decay.end(), [&](const SeriesPoint& a, const SeriesPoint& b) {
      return std::abs(a.x - at.x) < std::abs(b.x - at.x);
    });
    EXPECT_NEAR(sample->x, at.x, 1e-9);
    EXPECT_NEAR(at.y, sample->y, 1e-3 * std::abs(decay.front().y)) << "at " << at.x << " ms";
  }

  View()->DecayExportButton()->click();
  WaitForPass();
  std::ifstream table(dir_.File("fit.decay.csv"));
  int lines = 0;
  for (std::string line; std::getline(table, line);) ++lines;
  EXPECT_EQ(lines, 1 + 4 * 5) << "a line per gate of the four records";
  EXPECT_TRUE(messages_.Messages().empty());

  // A ground without polarisation has no decay to fit: the export is done, and its notice,
  // no error box, says how many records it left out and why.
  o.chargeability_mv_v = 0;
  o.noise_mv = 0.05;
  Open(Survey("flat.qmr", o));
  View()->DecayExportButton()->click();
  WaitForPass();
  EXPECT_TRUE(messages_.Messages().empty());
  EXPECT_EQ(Text("NoticeLabel").toStdString(),
            "Записан " + dir_.File("flat.decay.csv") + ": записей 0\nПропущено записей: 4 (нет целой подгонки спада)");
}

// Chosen in the survey view, τ, c and the misfit colour the section: the check is run
// again with the decay's fit, though the decay view is off. Over a ground without noise
// the automatic τ scale lies within the ground's τ of the records; c has its fixed 0 to 1.
TEST_F(DecayViewTest, TheSurveyViewColoursByTheFitsTauCAndMisfit) {
  SynthOptions o{.blocks = 2, .channels = 2, .half_period = 200, .second_length = 200, .period_count = 4};
  o.physical = true;
  o.rho_ohm_m = 100;
  o.noise_mv = 0;
  o.chargeability_mv_v = 40;
  o.tau_ms = 37.28;
  o.cole_c = 0.6;
  path_ = Survey("fit.qmr", o);
  Open(path_);
  Click("CheckB");
  WaitForPass();
  SurveyView* survey = form_->ShowSurveyView();
  survey->SetQuantity(SurveyView::Quantity::Tau);
  WaitForPass();
  EXPECT_EQ(survey->Section()->SeriesAt(0).Count(), 4) << "every record coloured by its τ";
  EXPECT_EQ(survey->Section()->SeriesAt(1).Count(), 0) << "none without a value";
  double low_tau = INFINITY, high_tau = 0;
  for (int32_t block = 0; block < 2; ++block)
    for (int32_t channel = 0; channel < 2; ++channel) {
      const double tau = 1000 * ChannelPolarisation(o, block, channel).tau_s;
      low_tau = std::min(low_tau, tau), high_tau = std::max(high_tau, tau);
    }
  auto limit = [&](const char* edit) { return survey->findChild<QLineEdit*>(edit)->text().toDouble(); };
  EXPECT_GE(limit("ScaleLowEdit"), low_tau * 0.999);
  EXPECT_LE(limit("ScaleHighEdit"), high_tau * 1.001);
  EXPECT_LT(limit("ScaleLowEdit"), limit("ScaleHighEdit"));
  EXPECT_TRUE(survey->findChild<QCheckBox*>("ScaleLogBox")->isChecked());
  const std::string svg = dir_.File("section.svg");
  ASSERT_EQ(survey->Section()->SaveImageAsked(QString::fromStdString(svg)), "");
  EXPECT_TRUE(SvgText(svg).contains("τ спада, мс")) << SvgText(svg).toStdString();

  // The points saved carry the fit, in the columns after the others.
  const std::string points = dir_.File("points.csv");
  survey->SavePoints(QString::fromStdString(points));
  std::ifstream saved(points);
  std::string header, first;
  std::getline(saved, header), std::getline(saved, first);
  EXPECT_EQ(header.substr(0, header.find('\r')), SectionTableHeader() + ",tau_ms,c,misfit");
  EXPECT_EQ(std::count(first.begin(), first.end(), ','), 16) << first;
  EXPECT_EQ(first.find(",nan"), std::string::npos) << first;

  survey->SetQuantity(SurveyView::Quantity::DecayC);
  EXPECT_EQ(survey->Section()->SeriesAt(0).Count(), 4);
  EXPECT_EQ(survey->findChild<QLineEdit*>("ScaleLowEdit")->text(), "0");
  EXPECT_EQ(survey->findChild<QLineEdit*>("ScaleHighEdit")->text(), "1");
  EXPECT_FALSE(survey->findChild<QCheckBox*>("ScaleLogBox")->isChecked());
  survey->SetQuantity(SurveyView::Quantity::Misfit);
  EXPECT_EQ(survey->Section()->SeriesAt(0).Count() + survey->Section()->SeriesAt(3).Count(), 4)
      << "a misfit for every record (a χ² of 0 a triangle on its log scale)";
  EXPECT_TRUE(messages_.Messages().empty());
}

// Over ground without polarisation the decay is noise: no fitted curve and no numbers, but
// the reason, in the window's language.
TEST_F(DecayViewTest, ADecayTooWeakToFitShowsTheReasonAndNoCurve) {
  SynthOptions o{.blocks = 3, .channels = 4, .half_period = 200, .second_length = 200, .period_count = 4};
  o.physical = true;
  o.rho_ohm_m = 100;
  o.noise_mv = 0.5;
  o.chargeability_mv_v = 0;
  path_ = Survey("plain.qmr", o);
  Open(path_);
  Click("DecayB");
  ASSERT_NE(View(), nullptr);
  for (int k = 1; k <= 12; ++k) {
    TypeRecordNumber(QString::number(k));
    const QString fit = View()->findChild<QLabel*>("DecayFitInfo")->text();
    EXPECT_EQ(fit, "Нет подгонки: спад слишком слаб для подгонки") << "record " << k;
    EXPECT_FALSE(fit.contains("INF", Qt::CaseInsensitive));
    EXPECT_EQ(View()->DecayChart()->SeriesAt(2).Count(), 0) << "no fitted curve, record " << k;
    EXPECT_GT(View()->DecayChart()->SeriesAt(1).Count(), 0) << "the gates are still drawn";
  }
}

}  // namespace
