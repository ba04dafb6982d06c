#include "views/decay_view.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "chart/guarded.h"
#include "ip/decay_fit.h"
#include "processing/format_fixed.h"

namespace {

// Every decimal asked for, as the batch tool prints them (the window's rule keeps five
// significant digits and pads the rest with zeros); scientific beyond a million.
QString Fixed(double value, int decimals) {
  return std::abs(value) < 1e6 ? QString::number(value, 'f', decimals)
                               : QString::fromStdString(FormatFixed(value, decimals));
}

const QColor DecayColour(40, 90, 200), FitColour(0, 140, 60);

// The gate's middle on the logarithmic time axis.
double LogCentre(const Gate& gate) { return std::sqrt(std::max(gate.t1_ms, 1e-9) * gate.t2_ms); }

}  // namespace

DecayView::DecayView(QWidget* parent) : QWidget(parent) {
  setObjectName("DecayView");
  setWindowTitle(tr("Спад ВП"));
  resize(700, 450);
  info_ = new QLabel(this);
  info_->setObjectName("DecayInfo");
  // A long text wraps instead of widening the window.
  info_->setWordWrap(true);
  info_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  fit_info_ = new QLabel(this);
  fit_info_->setObjectName("DecayFitInfo");
  fit_info_->setWordWrap(true);
  fit_info_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  export_ = new QPushButton(tr("Экспорт спадов"), this);
  export_->setObjectName("DecayExportB");
  auto* gates_label = new QLabel(tr("Окна, мс:"), this);
  gates_edit_ = new QLineEdit(this);
  gates_edit_->setObjectName("GatesEdit");
  apply_ = new QPushButton(tr("Применить"), this);
  apply_->setObjectName("GatesB");
  chart_ = new Chart(this);
  chart_->setObjectName("DecayChart");
  chart_->BottomAxis().SetLogarithmic(10);
  chart_->BottomAxis().SetTitle(tr("t после выключения, мс"));
  // The decay in the unit of M, the gates' M on the same axis.
  chart_->LeftAxis().SetTitle(tr("M, мВ/В"));
  chart_->SetColour(Qt::white);
  decay_ = &chart_->AddSeries({.kind = Chart::SeriesKind::Line, .colour = DecayColour});
  gates_ = &chart_->AddSeries({.kind = Chart::SeriesKind::Bars, .colour = Qt::red, .pen_width = 2});
  chart_->SetPicture([this] { return Picture(); });
  fitted_ = &chart_->AddSeries({.kind = Chart::SeriesKind::Line, .colour = FitColour, .pen_width = 2});
  chart_->SetLegend({{LegendEntry::Look::Line, DecayColour, tr("спад после выключения")},
                     {LegendEntry::Look::Square, Qt::red, tr("M окон с ±")},
                     {LegendEntry::Look::Line, FitColour, tr("подгонка Коул-Коул")}},
                    Chart::LegendPlace::Below);

  auto* gates_row = new QHBoxLayout;
  gates_row->addWidget(gates_label);
  gates_row->addWidget(gates_edit_, 1);
  gates_row->addWidget(apply_);
  gates_row->addWidget(export_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info_);
  layout->addWidget(fit_info_);
  layout->addWidget(chart_, 1);
  layout->addLayout(gates_row);

  auto choose = [this] { Guarded([this] { emit GatesChosen(gates_edit_->text().trimmed()); }); };
  connect(apply_, &QPushButton::clicked, this, choose);
  connect(gates_edit_, &QLineEdit::returnPressed, this, choose);
  connect(export_, &QPushButton::clicked, this, [this] { Guarded([this] { emit DecayExportAsked(); }); });
}

void DecayView::ShowGates(const std::vector<Gate>& gates) {
  gates_edit_->setText(QString::fromStdString(GateListText(gates)));
}

namespace {

QString FlagName(DecayFlag flag) {
  switch (flag) {
    case DecayFlag::NotMonotone: return DecayView::tr("спад не монотонен");
    case DecayFlag::ChangesSign: return DecayView::tr("спад меняет знак");
    case DecayFlag::Misfit: return DecayView::tr("невязка выше порога");
    case DecayFlag::TauUnresolved: return DecayView::tr("τ вне окон");
  }
  return {};
}

}  // namespace

// The fit's line: m, τ, c with their ± and χ² per gate, then its flags (their reasons,
// with the numbers, in the tooltip).
void DecayView::ShowFit(const DecayFit* fit) {
  fitted_->Clear();
  fit_info_->setToolTip({});
  if (!fit) return fit_info_->clear();
  if (!fit->no_fit.empty()) return fit_info_->setText(tr("Нет подгонки: %1").arg(QString::fromStdString(fit->no_fit)));
  for (size_t i = 0; i < fit->curve_ms.size() && i < fit->curve.size(); ++i)
    fitted_->Append(fit->curve_ms[i], fit->curve[i]);
  QString text =
      tr("Коул-Коул: m = %1 ± %2 мВ/В   τ = %3 ± %4 мс   c = %5 ± %6   χ² на окно = %7")
          .arg(Fixed(fit->m, 3), Fixed(fit->m_interval, 3), Fixed(fit->tau_ms, 2), Fixed(fit->tau_interval_ms, 2),
               Fixed(fit->c, 3), Fixed(fit->c_interval, 3), Fixed(fit->chi2, 3));
  QStringList flags, reasons;
  for (const DecayFlagged& flagged : fit->flags) {
    flags << FlagName(flagged.flag);
    reasons << QString::fromStdString(flagged.reason);
  }
  if (!flags.isEmpty()) text += "\n" + tr("Флаги: %1").arg(flags.join(", "));
  fit_info_->setText(text);
  fit_info_->setToolTip(reasons.join("\n"));
}

void DecayView::Show(const Chargeability& ip) {
  decay_->Clear();
  gates_->Clear();
  ShowFit(std::isfinite(ip.m) ? ip.fit.get() : nullptr);
  if (!std::isfinite(ip.m) || ip.time_ms.empty()) {
    info_->setText(ip.no_answer.empty() ? tr("Нет ответа: нужны три паузы в кривой и Vp, отличное от нуля")
                                        : tr("Нет ответа: %1").arg(QString::fromStdString(ip.no_answer)));
    chart_->SetNote(info_->text());
    // An empty chart, not the last record's scale.
    chart_->LeftAxis().SetLimits(0, 1);
    chart_->LeftAxis().SetLabels(false);
    chart_->Replot();
    return;
  }
  // The decay in the gates' unit, so that both share the axis.
  double low = INFINITY, high = -INFINITY;
  for (size_t j = 0; j < ip.time_ms.size(); ++j) {
    const double eta = 1000 * ip.decay_mv[j] / ip.vp;
    decay_->Append(ip.time_ms[j], eta);
    if (std::isfinite(eta)) low = std::min(low, eta), high = std::max(high, eta);
  }
  for (const GateChargeability& gate : ip.gates) {
    const double centre = LogCentre(gate.gate);
    gates_->AppendBar(centre, gate.m, centre - gate.gate.t1_ms, gate.gate.t2_ms - centre, gate.interval);
    if (std::isfinite(gate.m) && std::isfinite(gate.interval))
      low = std::min(low, gate.m - gate.interval), high = std::max(high, gate.m + gate.interval);
  }
  chart_->SetNote({});
  chart_->LeftAxis().SetLabels(true);
  chart_->BottomAxis().SetLimits(ip.time_ms.front() / 1.5, ip.time_ms.back() * 1.1);
  if (low <= high) {
    const double margin = std::max((high - low) * 0.05, 1e-3);
    chart_->LeftAxis().SetLimits(low - margin, high + margin);
  }
  QString text = tr("M = %1 ± %2 мВ/В   Mt = %3 мс   Vp = %4 мВ")
                     .arg(Fixed(ip.m, 3), Fixed(ip.m_interval, 3), Fixed(ip.mt_ms, 3), Fixed(ip.vp, 3));
  if (ip.hum_hz > 0) text += tr("   фон %1 Гц, %2 мВ убран").arg(Fixed(ip.hum_hz, 2), Fixed(ip.hum_mv, 3));
  if (ip.spikes_removed > 0) text += tr("   выбросов убрано: %1").arg(ip.spikes_removed);
  info_->setText(text);
  chart_->Replot();
}

void DecayView::closeEvent(QCloseEvent* event) {
  emit Closed();
  QWidget::closeEvent(event);
}

ChartPicture DecayView::Picture() const {
  QStringList title;
  title << (title_.isEmpty() ? windowTitle() : tr("%1 — спад ВП").arg(title_)) << info_->text();
  // The fit's m, τ, c and misfit, and its flags, as the view shows them above the chart.
  if (!fit_info_->text().isEmpty()) title << fit_info_->text().split('\n');
  return {{chart_}, title};
}

void DecayView::SetBusy(bool busy) {
  for (QWidget* control : std::initializer_list<QWidget*>{gates_edit_, apply_, export_}) control->setEnabled(!busy);
}
