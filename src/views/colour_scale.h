#pragma once
// How the survey view colours a quantity: automatically, from the 2nd to the 98th
// percentile of the values shown (one wild record does not wash out the rest), or
// between limits the user fixed, on a logarithmic or a linear scale; and the control
// in the view that chooses it.

#include <QWidget>
#include <cmath>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;

struct ScaleChoice {
  bool fixed = false;
  double low = NAN, high = NAN;  // the fixed limits
  bool logarithmic = true;
};

struct ScaleLimits {
  double low = NAN, high = NAN;
  bool Valid() const { return low < high; }
};

// The limits the colour bar spans for these values: the fixed ones as they are, or the
// percentiles of the values a scale can show (those above zero on a logarithmic one),
// widened about a single value. Not valid when no value can be coloured.
ScaleLimits ColourLimits(const ScaleChoice& choice, const std::vector<double>& values);

// Whether a choice's fixed limits can be drawn: low below high, both above zero on a
// logarithmic scale.
bool DrawableLimits(const ScaleChoice& choice);

class ScaleControl : public QWidget {
  Q_OBJECT

 public:
  explicit ScaleControl(QWidget* parent = nullptr);
  // Shows a choice and, while automatic, the limits it gives now; sends nothing.
  void Show(const ScaleChoice& choice, ScaleLimits limits);

 signals:
  // The user chose another scale (limits that cannot be drawn are refused and told).
  void Chosen(const ScaleChoice& choice);

 private:
  void Choose();

  QComboBox* mode_;
  QLineEdit* low_;
  QLineEdit* high_;
  QCheckBox* logarithmic_;
  ScaleChoice shown_;
  ScaleLimits shown_limits_;
};
