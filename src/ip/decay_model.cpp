#include "ip/decay_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>

namespace {

// The grids: ln τ in steps of 0.1, c in steps of 0.025 from CLow to 1. Both interpolate
// the model to better than 1e-4 of its largest gate (tests/core/decay_fit_test.cpp).
constexpr double LogStep = 0.1;
constexpr double CStep = 0.025;

// The current's change at the start of half-period k = 1..4n: on + (k = 1, 5, ...), pause,
// on - (k = 3, 7, ...), pause, from rest.
std::vector<double> CurrentSteps(int64_t half_periods) {
  std::vector<double> steps(static_cast<size_t>(half_periods) + 1, 0.0);
  double before = 0;
  for (int64_t k = 1; k <= half_periods; ++k) {
    const double current = k % 2 == 0 ? 0.0 : ((k - 1) / 2) % 2 == 0 ? 1.0 : -1.0;
    steps[static_cast<size_t>(k)] = current - before;
    before = current;
  }
  return steps;
}

}  // namespace

// The steps of the current before the end of half-period k, as lags L = k - k_e in
// half-periods, weighted by `weight`: what the ground keeps of them decays as φ(t + L T).
// Switch-ons (odd k_e) and switch-offs apart, since a switch-on takes its time.
struct DecayLags {
  std::vector<double> on, off;
  explicit DecayLags(int64_t count) : on(static_cast<size_t>(count), 0.0), off(static_cast<size_t>(count), 0.0) {}
  void Add(const std::vector<double>& steps, int64_t k, double weight) {
    for (int64_t event = 1; event <= k; ++event)
      (event % 2 == 1 ? on : off)[static_cast<size_t>(k - event)] += weight * steps[static_cast<size_t>(event)];
  }
};

namespace {

// The mean stacked decay x(t) = m Σ_L β_L φ(t + L T): pause s is half-period 2s, where the
// voltage is -m Σ ΔJ φ; the stacks σ_q (d_q - 2 d_{q+1} + d_{q+2}) / 4 for q = 1..2n-2.
DecayLags StackLags(int64_t periods) {
  const std::vector<double> steps = CurrentSteps(4 * periods);
  DecayLags lags(4 * periods);
  const int64_t stacks = 2 * periods - 2;
  const double weights[3] = {0.25, -0.5, 0.25};
  for (int64_t q = 1; q <= stacks; ++q)
    for (int64_t i = 0; i < 3; ++i)
      lags.Add(steps, 2 * (q + i), -(q % 2 == 1 ? 1.0 : -1.0) * weights[i] / static_cast<double>(stacks));
  return lags;
}

// Vp = 1 - m Y with Y = Σ_L γ_L (window mean of φ(t + L T)): the mean over the windows
// s = 1..2n-1 of ((V_h - V_{h+1}) + (V_{h+3} - V_{h+2})) / 2, h = 2s - 1, the sign turned
// for even s, each half-period's V_k = J_k - m Σ ΔJ φ over its last window.
DecayLags WindowLags(int64_t periods) {
  const std::vector<double> steps = CurrentSteps(4 * periods);
  DecayLags lags(4 * periods);
  const int64_t windows = 2 * periods - 1;
  for (int64_t s = 1; s <= windows; ++s) {
    const double weight = (s % 2 == 1 ? 1.0 : -1.0) / 2 / static_cast<double>(windows);
    const int64_t h = 2 * s - 1;
    lags.Add(steps, h, weight);
    lags.Add(steps, h + 1, -weight);
    lags.Add(steps, h + 3, weight);
    lags.Add(steps, h + 2, -weight);
  }
  return lags;
}

// Σ_L lags_L e^{-(L a - delay + first + 1/2) x} times the mean of e^{-j x} over `count`
// samples: a Debye term's mean over samples first.. of a half-period, each switch-on
// `delay` samples late; every exponent is taken whole, so that none overflows.
double LaggedMean(const DecayLags& lags, int64_t a, double delay, int64_t first, int64_t count, double x) {
  const double n = static_cast<double>(count), start = static_cast<double>(first) + 0.5;
  double sum = 0;
  for (size_t l = 0; l < lags.on.size(); ++l) {
    const double lag = static_cast<double>(l) * static_cast<double>(a) + start;
    if (lags.off[l] != 0) sum += lags.off[l] * std::exp(-lag * x);
    if (lags.on[l] != 0) sum += lags.on[l] * std::exp(-(lag - delay) * x);
  }
  return sum * (std::expm1(-n * x) / std::expm1(-x)) / n;
}

// The Cole-Cole distribution over u = ln(τ'/τ) and its cumulative distribution.
double Kernel(double c, double u) {
  return std::sin(c * std::numbers::pi) / (2 * std::numbers::pi * (std::cosh(c * u) + std::cos(c * std::numbers::pi)));
}
double KernelBelow(double c, double u) {
  return 0.5 + std::atan(std::tanh(c * u / 2) * std::tan(c * std::numbers::pi / 2)) / (c * std::numbers::pi);
}

// Catmull-Rom weights of four nodes at -1, 0, 1, 2 for a point t in [0, 1], and their
// derivatives by t.
struct Weights {
  double value[4];
  double slope[4];
};
Weights CatmullRom(double t) {
  const double t2 = t * t, t3 = t2 * t;
  return {{0.5 * (-t + 2 * t2 - t3), 0.5 * (2 - 5 * t2 + 3 * t3), 0.5 * (t + 4 * t2 - 3 * t3), 0.5 * (t3 - t2)},
          {0.5 * (-1 + 4 * t - 3 * t2), 0.5 * (-10 * t + 9 * t2), 0.5 * (1 + 8 * t - 9 * t2), 0.5 * (3 * t2 - 2 * t)}};
}

// The cell [i, i + 1] of a grid of `count` nodes holding x (in node units), and x's place in it.
struct Cell {
  size_t first = 0;
  double t = 0;
};
Cell CellOf(double x, size_t count) {
  const double last = static_cast<double>(count - 2);
  const double first = std::clamp(std::floor(x), 0.0, last);
  return {static_cast<size_t>(first), std::clamp(x - first, 0.0, 1.0)};
}

}  // namespace

DecayModel::DecayModel(const DecayWaveform& waveform, const std::vector<Gate>& gates) : gates_(gates) {
  if (waveform.period_count < 2 || waveform.half_period < 1 || waveform.sample_rate < 1 || waveform.window_len < 1 ||
      waveform.window_len > waveform.half_period)
    throw std::invalid_argument("the waveform has fewer than three pauses or no Vp window");
  if (gates.empty()) throw std::invalid_argument("no gate");
  half_period_ = waveform.half_period;
  window_len_ = waveform.window_len;
  sample_ms_ = 1000.0 / waveform.sample_rate;
  if (!(waveform.switch_on_delay >= 0 && waveform.switch_on_delay < waveform.half_period - waveform.window_len))
    throw std::invalid_argument("the switch-on delay reaches into the Vp window");
  switch_on_delay_ = waveform.switch_on_delay;
  stack_lags_ = std::make_shared<const DecayLags>(StackLags(waveform.period_count));
  window_lags_ = std::make_shared<const DecayLags>(WindowLags(waveform.period_count));
  for (const Gate& gate : gates) {
    gate_samples_.push_back(GateSamples(gate, waveform.half_period, waveform.sample_rate));
    if (gate_samples_.back().Count() == 0)
      throw std::invalid_argument("gate " + GateText(gate) + " ms holds no sample");
  }
  functionals_ = gates.size() + 1;

  // Debye terms on a grid of ln τ' wide enough that beyond it they have reached their
  // limits: nothing left at the first sample below, and within 1e-6 of never charging
  // (Y = 1, X = 0) above.
  const double first_ms = (static_cast<double>(gate_samples_.front().first) + 0.5) * sample_ms_;
  const double last_ms = gates.back().t2_ms;
  const double whole_ms = 4.0 * waveform.period_count * waveform.half_period * sample_ms_;
  step_ = LogStep;
  const double u_low = std::log(first_ms) - 4;
  const size_t u_nodes = static_cast<size_t>(std::ceil((std::log(whole_ms) + 14 - u_low) / step_)) + 1;
  std::vector<double> debye(u_nodes * functionals_);
  for (size_t k = 0; k < u_nodes; ++k) {
    const std::vector<double> term = DebyeTerm(std::exp(u_low + step_ * static_cast<double>(k)));
    std::copy(term.begin(), term.end(), debye.begin() + static_cast<ptrdiff_t>(k * functionals_));
  }
  std::vector<double> beyond(functionals_, 0.0);
  beyond.back() = 1;

  // The fits' range of ln τ: from well before the first gate to well after the last, on
  // the same nodes.
  const size_t s_first = static_cast<size_t>(std::floor((std::log(first_ms) - 3 - u_low) / step_));
  s_low_ = u_low + step_ * static_cast<double>(s_first);
  s_nodes_ = static_cast<size_t>(std::ceil((std::log(last_ms) + 4 - s_low_) / step_)) + 1;
  s_nodes_ = std::min(s_nodes_, u_nodes - s_first);
  c_step_ = CStep;
  c_rows_ = static_cast<size_t>(std::lround((1 - CLow) / c_step_)) + 1;
  // One node more on every side, continuing the last two in a straight line, so that the
  // interpolation near an edge reads the table as anywhere else.
  table_.assign((c_rows_ + 2) * (s_nodes_ + 2) * functionals_, 0.0);

  // Each row convolves the Debye terms with the distribution of its c. The sum leaves out
  // the term at u' = u and weighs the others by their difference from it, so that the
  // narrow peak of c near 1 does not have to be resolved; beyond the grid the terms are at
  // their limits, weighed by the distribution's tails.
  const ptrdiff_t reach = static_cast<ptrdiff_t>(u_nodes);
  std::vector<double> kernel(2 * u_nodes + 1);
  for (size_t row = 0; row < c_rows_; ++row) {
    const double c = std::min(1.0, CLow + c_step_ * static_cast<double>(row));
    for (ptrdiff_t l = -reach; l <= reach; ++l)
      kernel[static_cast<size_t>(l + reach)] = c < 1 ? step_ * Kernel(c, step_ * static_cast<double>(l)) : 0;
    for (size_t j = 0; j < s_nodes_; ++j) {
      const size_t at = s_first + j;
      const double* here = &debye[at * functionals_];
      double* out = &table_[Index(row + 1, j + 1)];
      std::copy(here, here + functionals_, out);
      if (c >= 1) continue;
      for (size_t k = 0; k < u_nodes; ++k) {
        if (k == at) continue;
        const double weight =
            kernel[static_cast<size_t>(static_cast<ptrdiff_t>(k) - static_cast<ptrdiff_t>(at) + reach)];
        const double* there = &debye[k * functionals_];
        for (size_t f = 0; f < functionals_; ++f) out[f] += weight * (there[f] - here[f]);
      }
      const double below = KernelBelow(c, -(static_cast<double>(at) + 0.5) * step_);
      const double above = 1 - KernelBelow(c, (static_cast<double>(u_nodes - 1 - at) + 0.5) * step_);
      for (size_t f = 0; f < functionals_; ++f) out[f] += -below * here[f] + above * (beyond[f] - here[f]);
    }
  }
  for (size_t row = 1; row <= c_rows_; ++row)
    for (size_t f = 0; f < functionals_; ++f) {
      table_[Index(row, 0) + f] = 2 * table_[Index(row, 1) + f] - table_[Index(row, 2) + f];
      table_[Index(row, s_nodes_ + 1) + f] =
          2 * table_[Index(row, s_nodes_) + f] - table_[Index(row, s_nodes_ - 1) + f];
    }
  for (size_t j = 0; j < s_nodes_ + 2; ++j)
    for (size_t f = 0; f < functionals_; ++f) {
      table_[Index(0, j) + f] = 2 * table_[Index(1, j) + f] - table_[Index(2, j) + f];
      table_[Index(c_rows_ + 1, j) + f] = 2 * table_[Index(c_rows_, j) + f] - table_[Index(c_rows_ - 1, j) + f];
    }
}

std::vector<double> DecayModel::DebyeTerm(double tau_ms) const {
  const double x = sample_ms_ / tau_ms;  // per sample
  std::vector<double> values;
  for (const SampleRange& samples : gate_samples_)
    values.push_back(LaggedMean(*stack_lags_, half_period_, switch_on_delay_, samples.first, samples.Count(), x));
  values.push_back(
      LaggedMean(*window_lags_, half_period_, switch_on_delay_, half_period_ - window_len_, window_len_, x));
  return values;
}

std::vector<double> DecayModel::Curve(const ColeCole& p, const std::vector<double>& times_ms) const {
  constexpr int Quantiles = 200;
  const double c = std::clamp(p.c, CLow, 1.0), angle = c * std::numbers::pi;
  std::vector<double> stack(times_ms.size(), 0.0);
  double lack = 0;
  for (int k = 0; k < Quantiles; ++k) {
    // u at the quantile (k + 1/2) / Quantiles of the distribution over ln(τ'/τ).
    const double q = (k + 0.5) / Quantiles - 0.5;
    const double u = c < 1 ? 2 / c * std::atanh(std::tan(angle * q) / std::tan(angle / 2)) : 0;
    const double x = sample_ms_ / std::exp(p.log_tau_ms + u);
    for (size_t i = 0; i < times_ms.size(); ++i) {
      const double t = times_ms[i] / sample_ms_;
      for (size_t l = 0; l < stack_lags_->on.size(); ++l) {
        const double lag = static_cast<double>(l) * static_cast<double>(half_period_) + t;
        stack[i] +=
            (stack_lags_->off[l] * std::exp(-lag * x) + stack_lags_->on[l] * std::exp(-(lag - switch_on_delay_) * x)) /
            Quantiles;
      }
    }
    lack += LaggedMean(*window_lags_, half_period_, switch_on_delay_, half_period_ - window_len_, window_len_, x) /
            Quantiles;
  }
  for (double& value : stack) value *= p.m / (1 - p.m * lack / 1000);
  return stack;
}

double SwitchOnDelay(std::span<const float> current, int32_t half_period, int32_t period_count, int32_t window_len) {
  const int64_t a = half_period, on_times = 2 * int64_t{period_count};
  if (a < 1 || window_len < 1 || window_len > a || on_times < 1 ||
      static_cast<int64_t>(current.size()) < 2 * on_times * a)
    return 0;
  double delay = 0;
  int64_t counted = 0;
  for (int64_t q = 0; q < on_times; ++q) {
    const float* on = current.data() + 2 * q * a;
    double settled = 0;
    for (int64_t j = a - window_len; j < a; ++j) settled += on[j];
    settled /= window_len;
    if (!(std::abs(settled) > 0)) continue;
    double lacking = 0;
    for (int64_t j = 0; j < a; ++j) lacking += 1 - on[j] / settled;
    delay += lacking;
    ++counted;
  }
  return counted > 0 ? std::clamp(delay / static_cast<double>(counted), 0.0, static_cast<double>(a - window_len) - 1)
                     : 0;
}

void DecayModel::Interpolate(double s, double c, std::span<double> values, std::span<double> by_s,
                             std::span<double> by_c) const {
  const Cell across = CellOf((s - s_low_) / step_, s_nodes_);
  const Cell down = CellOf((c - CLow) / c_step_, c_rows_);
  const Weights ws = CatmullRom(across.t), wc = CatmullRom(down.t);
  std::fill(values.begin(), values.end(), 0.0);
  std::fill(by_s.begin(), by_s.end(), 0.0);
  std::fill(by_c.begin(), by_c.end(), 0.0);
  // The nodes -1..2 of the cell are padded rows and nodes first..first + 3.
  for (size_t a = 0; a < 4; ++a) {
    for (size_t b = 0; b < 4; ++b) {
      const double* node = &table_[Index(down.first + a, across.first + b)];
      const double value = wc.value[a] * ws.value[b], slope_s = wc.value[a] * ws.slope[b] / step_,
                   slope_c = wc.slope[a] * ws.value[b] / c_step_;
      for (size_t f = 0; f < functionals_; ++f) {
        values[f] += value * node[f];
        by_s[f] += slope_s * node[f];
        by_c[f] += slope_c * node[f];
      }
    }
  }
}

void DecayModel::Predict(const ColeCole& p, std::span<double> m, std::span<std::array<double, 3>> slopes) const {
  const double s = std::clamp(p.log_tau_ms, LogTauLow(), LogTauHigh()), c = std::clamp(p.c, CLow, 1.0);
  double values[64], by_s[64], by_c[64];
  std::vector<double> large;
  std::span<double> v(values, functionals_), vs(by_s, functionals_), vc(by_c, functionals_);
  if (functionals_ > 64) {
    large.resize(3 * functionals_);
    v = std::span(large).subspan(0, functionals_);
    vs = std::span(large).subspan(functionals_, functionals_);
    vc = std::span(large).subspan(2 * functionals_, functionals_);
  }
  Interpolate(s, c, v, vs, vc);
  const size_t gates = gates_.size();
  const double y = v[gates], lack = 1 - p.m * y / 1000;
  for (size_t i = 0; i < gates && i < m.size(); ++i) {
    m[i] = p.m * v[i] / lack;
    if (i < slopes.size())
      slopes[i] = {v[i] / (lack * lack), p.m * (vs[i] * lack + v[i] * p.m * vs[gates] / 1000) / (lack * lack),
                   p.m * (vc[i] * lack + v[i] * p.m * vc[gates] / 1000) / (lack * lack)};
  }
}

ColeCole DecayModel::CoarseStart(std::span<const double> gates, std::span<const double> weights, double low,
                                 double high) const {
  ColeCole best{0, LogTauLow(), 1};
  double best_misfit = std::numeric_limits<double>::infinity();
  const size_t count = gates_.size();
  std::vector<size_t> rows;
  for (size_t row = 0; row + 1 < c_rows_; row += 4) rows.push_back(row);
  rows.push_back(c_rows_ - 1);
  for (size_t row : rows) {
    for (size_t j = 0; j < s_nodes_; j += 3) {
      const double s = s_low_ + step_ * static_cast<double>(j);
      const double* node = &table_[Index(row + 1, j + 1)];
      if (s < low || s > high) continue;
      double xy = 0, xx = 0, yy = 0;
      for (size_t i = 0; i < count; ++i) {
        const double x = node[i];
        xy += weights[i] * x * gates[i];
        xx += weights[i] * x * x;
        yy += weights[i] * gates[i] * gates[i];
      }
      if (!(xx > 0)) continue;
      const double m = std::clamp(xy / xx, -MLimit, MLimit);
      const double misfit = yy - 2 * m * xy + m * m * xx;
      if (misfit < best_misfit) {
        best_misfit = misfit;
        best = {m, s, std::min(1.0, CLow + c_step_ * static_cast<double>(row))};
      }
    }
  }
  return best;
}
