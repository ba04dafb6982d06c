// Charts saved as images for reports: valid PNG, SVG and PDF files that show the data.

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QSvgRenderer>
#include <QTest>
#include <filesystem>

#include "form_fixture.h"

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
  menu->close();
}

}  // namespace
