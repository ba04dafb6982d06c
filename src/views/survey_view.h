#pragma once
// The survey view: a pseudosection of the last check of the open survey or of a whole
// line, each record a marker at the mean position of its electrodes and its median depth
// of investigation, coloured by apparent resistivity, stacking error or chargeability; a
// record left out of a line is a hollow grey square. Pointing at a marker tells the
// record; clicking it shows the record in the main window. On a line the ground and its
// electrodes are drawn above the section, and Ctrl with a click or a rectangle toggles
// records in or out.

#include <QPointF>
#include <QStringList>
#include <QWidget>
#include <utility>
#include <vector>

#include "analysis/pseudosection.h"
#include "analysis/reciprocal_pairs.h"
#include "chart/chart.h"

class QComboBox;
class QLabel;
class QRubberBand;

class SurveyView : public QWidget {
  Q_OBJECT

 public:
  enum class Quantity { Rhoa, Error, ErrorClasses, Chargeability };

  explicit SurveyView(QWidget* parent = nullptr);

  // The points to draw, made by the core from the window's last check or the line; none
  // clears. Points in the same places as those shown (the same records, where they were),
  // as after a toggle, only change colours and hollow squares: the zoom, the scroll and
  // the markers' size stay. The colour scale always spans the values of the kept records.
  void ShowPoints(std::vector<PseudosectionPoint> points);
  // A record's cause for leaving it out ("" keeps it) without handing over every point:
  // the same quick redraw as ShowPoints of the same places. An unknown record is ignored.
  void SetLeftOut(int file, int record, const std::string& cause);
  // The names of the line's surveys, by the points' `file`; a record's text begins with
  // its survey's name. None: a single survey.
  void SetSurveyNames(QStringList names);
  // On (a line is open): Ctrl with a click on a marker or a rectangle drawn with the left
  // button asks to toggle those records (RecordsToggled). Off: Ctrl as without it.
  void SetExcluding(bool excluding);
  // The ground, (x, z) along the line, and its electrodes, drawn above the section on the
  // section's x limits. An empty ground hides it.
  void ShowGround(std::vector<QPointF> ground, std::vector<QPointF> electrodes);
  void SetCaption(const QString& caption);
  // The survey's normal/reciprocal pairs, |ΔR| against |R|, and the error model fitted to them.
  void ShowReciprocals(const std::vector<ReciprocalPair>& pairs, const ErrorModel& model);
  Chart* ErrorModelChart() { return errors_; }
  Chart* GroundChart() { return ground_; }
  void SetQuantity(Quantity quantity);
  Chart* Section() { return section_; }
  // The record drawn nearest to a pixel of the section, within a marker's reach; 0 for none.
  int RecordAt(QPoint pixel);

 signals:
  // file: the survey's place in the line (0 for a single survey); k: the record.
  void RecordPicked(int file, int k);
  // (file, record) of every marker under a Ctrl click or inside a Ctrl rectangle.
  void RecordsToggled(std::vector<std::pair<int, int>> records);

 private:
  void Redraw();
  // The series and the colour scale from the points, the axes as they are.
  void Fill();
  // Marker sizes for the spacing the places have on screen now.
  void FitMarkers();
  QPointF CentreOf(const PseudosectionPoint& point) const;
  // The index of the point drawn nearest to a pixel, within a marker's reach; -1 for none.
  int PointAt(QPoint pixel) const;
  QString RecordText(const PseudosectionPoint& point) const;
  void Hover(int x, int y);
  // Ctrl with the left button on the section while excluding; true when the event is taken.
  bool ExcludingMouse(QEvent* event);
  void FollowSection();
  void AlignGround();
  bool eventFilter(QObject* watched, QEvent* event) override;
  Quantity CurrentQuantity() const;

  Chart* section_;
  ChartSeries* coloured_;
  ChartSeries* empty_;
  ChartSeries* excluded_;
  Chart* ground_;
  ChartSeries* ground_line_;
  ChartSeries* electrodes_;
  Chart* errors_;
  ChartSeries* differences_;
  ChartSeries* model_line_;
  QComboBox* quantity_;
  QLabel* info_;
  QRubberBand* band_;
  std::vector<PseudosectionPoint> points_;
  QStringList names_;
  bool excluding_ = false;
  // The point the mouse is on (its text shown), -1 for none.
  int hovered_ = -1;
  // The ground's limits being set from the section's, or the other way.
  bool following_ = false;
  // A Ctrl press of the left button: where, and whether it has moved into a rectangle.
  bool ctrl_pressed_ = false;
  bool dragging_ = false;
  QPoint press_;
};
