#pragma once
// The survey view: a pseudosection of the last check of the open survey or of a whole
// line, each record at the mean position of its electrodes and its median depth of
// investigation (its pseudo-depth), coloured by apparent resistivity, stacking error or
// chargeability, or by the decay fit's τ, c or misfit, on a colour scale the user chooses,
// or by the classes of the error.
// Records in one place (repeats, reciprocals, a quadrupole of two spreads) share a
// marker that names them all. A record left out of a line is a hollow grey square, one
// without a value a hollow black one, and a value a logarithmic scale cannot show a
// triangle; a legend says so. Pointing at a marker tells its records; clicking it shows
// the first in the main window. On a line the ground and its electrodes are drawn above
// the section (or the section in elevation under the ground), and Ctrl with a click or a
// rectangle toggles records in or out.

#include <QPointF>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "analysis/pseudosection.h"
#include "analysis/reciprocal_pairs.h"
#include "chart/chart.h"
#include "views/colour_scale.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRubberBand;
class QToolButton;

class SurveyView : public QWidget {
  Q_OBJECT

 public:
  // Tau, DecayC and Misfit: the decay's Cole-Cole fit (τ, c, χ² per gate).
  enum class Quantity { Rhoa, Error, ErrorClasses, Chargeability, Tau, DecayC, Misfit };
  // The name a quantity's colour scale is kept under ("rhoa", "error", "m", "tau", "c",
  // "misfit"); null for the classes.
  static const char* ScaleKey(Quantity quantity);
  // Whether the points must carry the decay's fit for the quantity.
  static bool NeedsDecayFit(Quantity quantity);

  explicit SurveyView(QWidget* parent = nullptr);

  // The points to draw, made by the core from the window's last check or the line; none
  // clears. Points in the same places as those shown (the same records, where they were),
  // as after a toggle, only change colours and hollow squares: the zoom, the scroll and
  // the markers' size stay.
  void ShowPoints(std::vector<PseudosectionPoint> points);
  // A record's cause for leaving it out ("" keeps it) without handing over every point:
  // the same quick redraw as ShowPoints of the same places. An unknown record is ignored.
  void SetLeftOut(int file, int record, const std::string& cause);
  // The names of the line's surveys, by the points' `file`; a record's text begins with
  // its survey's name. None: a single survey.
  void SetSurveyNames(QStringList names);
  // What the pictures' titles name: the survey or the line, and its electrode
  // arrangement ("" when not known). Another name shows the next points whole.
  void SetSubject(const QString& name, const QString& arrangement);
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
  Quantity CurrentQuantity() const;
  // A quantity's colour scale (the classes have none), as the user would choose it,
  // without ScaleChosen.
  void SetScaleChoice(Quantity quantity, const ScaleChoice& choice);
  ScaleChoice ScaleChoiceOf(Quantity quantity) const;
  // With a ground: each marker at the ground's elevation under it less its pseudo-depth,
  // under the ground profile. Off: by pseudo-depth, the ground above.
  void SetElevation(bool elevation);
  // The whole extent of the points, as a double click on the section and Home do.
  void ShowAll();
  Chart* Section() { return section_; }
  // The record drawn nearest to a pixel of the section, within a marker's reach; 0 for none.
  int RecordAt(QPoint pixel);
  // The section as a picture for a report: under its title, with the ground above it on a line.
  ChartPicture Picture();
  // The points' table ("Сохранить точки…"): the core's, from the points shown. Throws InOutError.
  void SavePoints(const QString& path) const;
  // Where the menu's "Сохранить точки…" writes; tests replace the dialog. Empty: cancelled.
  using SaveDialogSeam = std::function<QString(QWidget* parent, const QString& suggested)>;
  void SetSaveDialog(SaveDialogSeam dialog) { save_dialog_ = std::move(dialog); }

 signals:
  // file: the survey's place in the line (0 for a single survey); k: the record.
  void RecordPicked(int file, int k);
  // (file, record) of every marker under a Ctrl click or inside a Ctrl rectangle.
  void RecordsToggled(std::vector<std::pair<int, int>> records);
  // The user chose another colour scale for a quantity.
  void ScaleChosen(Quantity quantity, const ScaleChoice& choice);
  // Another quantity colours the section (by the user or SetQuantity).
  void QuantityChosen(Quantity quantity);

 private:
  // One marker: the records drawn in one place, in the order of the points.
  struct Marker {
    double x, depth, ground_z;
    std::vector<size_t> members;
  };
  void Group();
  void Redraw();
  // The series and the colour scale from the points, the axes as they are.
  void Fill();
  // Marker sizes for the spacing the places have on screen now.
  void FitMarkers();
  // Where a marker stands on the section's axes: its pseudo-depth, or its elevation.
  double VerticalOf(const Marker& marker) const;
  QPointF CentreOf(const Marker& marker) const;
  // The index of the marker drawn nearest to a pixel, within a marker's reach; -1 for none.
  int MarkerAt(QPoint pixel) const;
  QString RecordText(const PseudosectionPoint& point, bool place) const;
  QString MarkerText(const Marker& marker) const;
  void Hover(int x, int y);
  void Wheel(Chart* chart, int delta, QPoint global, bool* handled);
  // Ctrl with the left button on the section while excluding; true when the event is taken.
  bool ExcludingMouse(QEvent* event);
  void FollowSection();
  void AlignGround();
  void ShowCaption();
  void ChooseScale(const ScaleChoice& choice);
  void AskSavePoints();
  void AskSavePicture();
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool Elevated() const;

  Chart* section_;
  ChartSeries* coloured_;
  ChartSeries* empty_;
  ChartSeries* excluded_;
  ChartSeries* not_positive_;
  ChartSeries* section_ground_;
  Chart* ground_;
  ChartSeries* ground_line_;
  ChartSeries* electrodes_;
  Chart* errors_;
  ChartSeries* differences_;
  ChartSeries* model_line_;
  QComboBox* quantity_;
  ScaleControl* scale_;
  QCheckBox* elevation_;
  QToolButton* menu_;
  QLabel* info_;
  QRubberBand* band_;
  std::vector<PseudosectionPoint> points_;
  std::vector<Marker> markers_;
  std::vector<QPointF> ground_points_;
  QStringList names_;
  QString subject_, arrangement_, caption_;
  bool show_whole_ = false;
  std::array<ScaleChoice, 6> choices_;
  std::vector<LegendEntry> legend_;
  bool excluding_ = false;
  // The marker the mouse is on (its text shown), -1 for none.
  int hovered_ = -1;
  // The ground's limits being set from the section's, or the other way.
  bool following_ = false;
  // A Ctrl press of the left button: where, and whether it has moved into a rectangle.
  bool ctrl_pressed_ = false;
  bool dragging_ = false;
  QPoint press_;
  SaveDialogSeam save_dialog_;
};
