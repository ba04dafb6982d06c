#pragma once
// The survey view: a pseudosection of the last check of the open survey, each record a
// marker at the mean position of its electrodes and its median depth of investigation,
// coloured by apparent resistivity or stacking error. Pointing at a marker tells the
// record; clicking it shows the record in the main window.

#include <QWidget>
#include <vector>

#include "analysis/pseudosection.h"
#include "analysis/reciprocal_pairs.h"
#include "chart/chart.h"

class QComboBox;
class QLabel;

class SurveyView : public QWidget {
  Q_OBJECT

 public:
  enum class Quantity { Rhoa, Error, ErrorClasses, Chargeability };

  explicit SurveyView(QWidget* parent = nullptr);

  // The points to draw, made by the core from the window's last check; none clears.
  void ShowPoints(std::vector<PseudosectionPoint> points);
  // The survey's normal/reciprocal pairs, |ΔR| against |R|, and the error model fitted to them.
  void ShowReciprocals(const std::vector<ReciprocalPair>& pairs, const ErrorModel& model);
  Chart* ErrorModelChart() { return errors_; }
  void SetQuantity(Quantity quantity);
  Chart* Section() { return section_; }
  // The record drawn nearest to a pixel of the section, within a marker's reach; 0 for none.
  int RecordAt(QPoint pixel);

 signals:
  void RecordPicked(int k);

 private:
  void Redraw();
  // Marker sizes for the spacing the places have on screen now.
  void FitMarkers();
  void Hover(int x, int y);
  bool eventFilter(QObject* watched, QEvent* event) override;
  Quantity CurrentQuantity() const;

  Chart* section_;
  ChartSeries* coloured_;
  ChartSeries* empty_;
  Chart* errors_;
  ChartSeries* differences_;
  ChartSeries* model_line_;
  QComboBox* quantity_;
  QLabel* info_;
  std::vector<PseudosectionPoint> points_;
};
