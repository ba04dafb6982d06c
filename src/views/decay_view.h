#pragma once
// The decay view: the induced polarisation of the record on show, as the core computed
// it. The stacked decay after the switch-off on a logarithmic time axis, the gates as
// bars across their interval with their error, the Cole-Cole decay fitted to them, and
// M, Mt, the fit's m, τ, c and misfit and its flags beside them. The gates can be set
// here; the window recomputes and shows the result. "Экспорт спадов" asks for the long
// table of every gate.

#include <QWidget>

#include "chart/chart.h"
#include "ip/chargeability.h"

class QLabel;
class QLineEdit;
class QPushButton;

class DecayView : public QWidget {
  Q_OBJECT

 public:
  explicit DecayView(QWidget* parent = nullptr);

  // Draws a record's result; a result without an answer (NaN) clears the chart and says why.
  void Show(const Chargeability& ip);
  // The gates in use, as the text field shows them: "T1:T2,T2:T3,…" in ms.
  void ShowGates(const std::vector<Gate>& gates);
  // While a pass runs, the gates and the decay export wait: a pass keeps the gates it
  // was started with.
  void SetBusy(bool busy);
  // The record shown, as the picture's title names it.
  void SetRecordTitle(const QString& title) { title_ = title; }
  Chart* DecayChart() { return chart_; }
  // The decay as a picture for a report: under the record's title and what was found,
  // M, Mt, Vp and what hum and spikes were removed, or why there is no answer.
  ChartPicture Picture() const;
  QPushButton* DecayExportButton() { return export_; }

 signals:
  // The user asks for other gates (empty: the default ones).
  void GatesChosen(const QString& text);
  // The user asks for the long table of every gate of every record.
  void DecayExportAsked();
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowFit(const DecayFit* fit);

  Chart* chart_;
  ChartSeries* decay_;
  ChartSeries* gates_;
  ChartSeries* fitted_;
  QLabel* info_;
  QLabel* fit_info_;
  QPushButton* export_;
  QLineEdit* gates_edit_;
  QPushButton* apply_;
  QString title_;
};
