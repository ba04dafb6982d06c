#include "views/colour_scale.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QSignalBlocker>
#include <stdexcept>

#include "analysis/quantile.h"
#include "chart/guarded.h"

ScaleLimits ColourLimits(const ScaleChoice& choice, const std::vector<double>& values) {
  if (choice.fixed) return DrawableLimits(choice) ? ScaleLimits{choice.low, choice.high} : ScaleLimits{};
  std::vector<double> shown;
  shown.reserve(values.size());
  for (double value : values)
    if (std::isfinite(value) && (!choice.logarithmic || value > 0)) shown.push_back(value);
  ScaleLimits limits{Quantile(shown, 0.02), Quantile(shown, 0.98)};
  if (limits.low == limits.high) {
    if (choice.logarithmic)
      limits = {limits.low / 2, limits.high * 2};
    else
      limits = limits.low == 0
                   ? ScaleLimits{-1, 1}
                   : ScaleLimits{limits.low - std::fabs(limits.low) / 2, limits.high + std::fabs(limits.high) / 2};
  }
  return limits;
}

bool DrawableLimits(const ScaleChoice& choice) {
  return std::isfinite(choice.low) && std::isfinite(choice.high) && choice.low < choice.high &&
         (!choice.logarithmic || choice.low > 0);
}

namespace {

// A number as typed, with a point or a comma.
double TypedNumber(const QString& text) {
  bool ok = false;
  const double value = QLocale::c().toDouble(QString(text).replace(',', '.').trimmed(), &ok);
  return ok ? value : NAN;
}

QString LimitText(double value) { return std::isfinite(value) ? QString::number(value, 'g', 4) : QString(); }

}  // namespace

ScaleControl::ScaleControl(QWidget* parent) : QWidget(parent) {
  mode_ = new QComboBox(this);
  mode_->setObjectName("ScaleModeBox");
  mode_->addItems({tr("Авто"), tr("Задана")});
  mode_->setToolTip(tr("Шкала цвета: авто, от 2-го до 98-го процентиля показанных значений, или заданная"));
  low_ = new QLineEdit(this);
  low_->setObjectName("ScaleLowEdit");
  high_ = new QLineEdit(this);
  high_->setObjectName("ScaleHighEdit");
  for (QLineEdit* edit : {low_, high_}) {
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance("-00.00"));
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance("-0.0000e+00"));
  }
  low_->setToolTip(tr("Нижний предел шкалы"));
  high_->setToolTip(tr("Верхний предел шкалы"));
  logarithmic_ = new QCheckBox(tr("лог."), this);
  logarithmic_->setObjectName("ScaleLogBox");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(mode_);
  layout->addWidget(low_);
  layout->addWidget(high_);
  layout->addWidget(logarithmic_);
  connect(mode_, &QComboBox::activated, this, [this] { Guarded([this] { Choose(); }); });
  connect(logarithmic_, &QCheckBox::clicked, this, [this] { Guarded([this] { Choose(); }); });
  for (QLineEdit* edit : {low_, high_})
    connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
      if (edit->isModified()) Guarded([this] { Choose(); });
      edit->setModified(false);
    });
}

void ScaleControl::Show(const ScaleChoice& choice, ScaleLimits limits) {
  const QSignalBlocker blocks[] = {QSignalBlocker(mode_), QSignalBlocker(low_), QSignalBlocker(high_),
                                   QSignalBlocker(logarithmic_)};
  shown_ = choice;
  shown_limits_ = limits;
  mode_->setCurrentIndex(choice.fixed ? 1 : 0);
  logarithmic_->setChecked(choice.logarithmic);
  // Automatic limits are shown as they come out, to start from when they are fixed.
  low_->setText(LimitText(choice.fixed ? choice.low : limits.low));
  high_->setText(LimitText(choice.fixed ? choice.high : limits.high));
  low_->setReadOnly(!choice.fixed);
  high_->setReadOnly(!choice.fixed);
}

void ScaleControl::Choose() {
  ScaleChoice choice;
  choice.fixed = mode_->currentIndex() == 1;
  choice.logarithmic = logarithmic_->isChecked();
  choice.low = TypedNumber(low_->text());
  choice.high = TypedNumber(high_->text());
  if (choice.fixed && !DrawableLimits(choice)) {
    // The limits stay as they were.
    Show(shown_, shown_limits_);
    throw std::invalid_argument(
        (choice.logarithmic
             ? tr("Пределы шкалы: два числа, нижнее меньше верхнего и больше нуля на логарифмической шкале")
             : tr("Пределы шкалы: два числа, нижнее меньше верхнего"))
            .toStdString());
  }
  if (!choice.fixed) choice.low = choice.high = NAN;
  emit Chosen(choice);
}
