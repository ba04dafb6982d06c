#include "ip/decay_fit.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>
#include <unsupported/Eigen/LevenbergMarquardt>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A parameter kept within [low, high] as the minimiser moves it: middle + half sin(x), so
// that the fit reaches a bound smoothly (its slope vanishes there) instead of leaving it.
struct Bounded {
  double middle = 0, half = 0;
  Bounded(double low, double high) : middle((low + high) / 2), half((high - low) / 2) {}
  double At(double x) const { return middle + half * std::sin(x); }
  double Slope(double x) const { return half * std::cos(x); }
  double From(double value) const { return std::asin(std::clamp((value - middle) / half, -0.999, 0.999)); }
};

// The weighted residuals (M_i - model_i) / error_i over (m, x_τ, x_c).
struct Residuals : Eigen::DenseFunctor<double> {
  Residuals(const DecayModel& model, const std::vector<double>& gates, const std::vector<double>& errors)
      : Eigen::DenseFunctor<double>(3, static_cast<int>(gates.size())),
        model(model),
        gates(gates),
        errors(errors),
        m(-DecayModel::MLimit, DecayModel::MLimit),
        log_tau(model.LogTauLow(), model.LogTauHigh()),
        c(DecayModel::CLow, 1),
        predicted(gates.size()),
        slopes(gates.size()) {}

  ColeCole At(const InputType& x) const { return {m.At(x[0]), log_tau.At(x[1]), c.At(x[2])}; }

  int operator()(const InputType& x, ValueType& f) {
    model.Predict(At(x), predicted);
    for (size_t i = 0; i < gates.size(); ++i) f[static_cast<Eigen::Index>(i)] = (gates[i] - predicted[i]) / errors[i];
    return 0;
  }

  int df(const InputType& x, JacobianType& jacobian) {
    model.Predict(At(x), predicted, slopes);
    const double by_m = m.Slope(x[0]), by_tau = log_tau.Slope(x[1]), by_c = c.Slope(x[2]);
    for (size_t i = 0; i < gates.size(); ++i) {
      const Eigen::Index row = static_cast<Eigen::Index>(i);
      jacobian(row, 0) = -slopes[i][0] * by_m / errors[i];
      jacobian(row, 1) = -slopes[i][1] * by_tau / errors[i];
      jacobian(row, 2) = -slopes[i][2] * by_c / errors[i];
    }
    return 0;
  }

  const DecayModel& model;
  const std::vector<double>& gates;
  const std::vector<double>& errors;
  Bounded m, log_tau, c;
  std::vector<double> predicted;
  std::vector<std::array<double, 3>> slopes;
};

DecayFit NoFit(size_t gates, const std::string& reason) {
  DecayFit fit;
  fit.m = fit.m_error = fit.m_interval = NaN;
  fit.tau_ms = fit.tau_error_ms = fit.tau_interval_ms = NaN;
  fit.c = fit.c_error = fit.c_interval = NaN;
  fit.chi2 = fit.rms_pct = fit.data_error = NaN;
  fit.model.assign(gates, NaN);
  fit.no_fit = reason;
  return fit;
}

// The factor of the gates' ± over their standard error (Student's t of the stacks), which
// the fit's ± take too; 1.96 when the gates do not tell it.
double IntervalFactor(const std::vector<GateChargeability>& gates) {
  for (const GateChargeability& gate : gates)
    if (gate.error > 0 && std::isfinite(gate.interval / gate.error)) return gate.interval / gate.error;
  return 1.96;
}

}  // namespace

bool DecayFit::Flagged(DecayFlag flag) const {
  return std::any_of(flags.begin(), flags.end(), [&](const DecayFlagged& f) { return f.flag == flag; });
}

DecayFit FitDecay(const DecayModel& model, const std::vector<GateChargeability>& gates) {
  const size_t count = gates.size();
  if (count != model.Gates().size()) return NoFit(count, "the gates are not the model's");
  if (count < 4) return NoFit(count, "fewer than four gates");
  std::vector<double> m(count), errors(count), weights(count);
  double largest = 0;
  for (size_t i = 0; i < count; ++i) {
    if (!std::isfinite(gates[i].m) || !std::isfinite(gates[i].error)) return NoFit(count, "a gate is not a number");
    m[i] = gates[i].m;
    largest = std::max(largest, std::abs(m[i]));
  }
  // A decay without noise has errors of 0; they still weigh the gates alike.
  const double floor = std::max(1e-9 * largest, 1e-12);
  for (size_t i = 0; i < count; ++i) {
    errors[i] = std::max(gates[i].error, floor);
    weights[i] = 1 / (errors[i] * errors[i]);
  }

  // The coarse search weighs the gates no finer than a hundredth of the largest, so that
  // the nodes of a noise-free decay's narrow minimum do not lose to a far one by chance.
  std::vector<double> coarse(count);
  for (size_t i = 0; i < count; ++i) coarse[i] = 1 / (errors[i] * errors[i] + 1e-4 * largest * largest);
  Residuals residuals(model, m, errors);
  auto minimise = [&](const ColeCole& start) {
    Eigen::VectorXd x(3);
    x << residuals.m.From(start.m), residuals.log_tau.From(start.log_tau_ms), residuals.c.From(start.c);
    // The parameters are wanted to 1e-5, far below their errors. Where the best c is 1 the
    // minimiser closes in on the bound slowly (c's slope vanishes there): 20 evaluations
    // bring it within 1e-4 of it.
    Eigen::LevenbergMarquardt<Residuals> minimiser(residuals);
    minimiser.setMaxfev(20);
    minimiser.setXtol(1e-5);
    minimiser.setFtol(1e-6);
    minimiser.minimize(x);
    Eigen::VectorXd f(static_cast<Eigen::Index>(count));
    residuals(x, f);
    return std::pair(residuals.At(x), f.squaredNorm());
  };
  auto [best, misfit] = minimise(model.CoarseStart(m, coarse));
  // A Cole-Cole decay with a τ well outside the gates is a power law over them, which a
  // decay with its τ among them can resemble closely: such a fit is tried again from the
  // best start among the gates, and the better one kept.
  const double first = std::log(gates.front().gate.t1_ms), last = std::log(gates.back().gate.t2_ms);
  if (best.log_tau_ms < first || best.log_tau_ms > last) {
    const auto [again, again_misfit] = minimise(model.CoarseStart(m, coarse, first, last));
    if (again_misfit < misfit) best = again;
  }
  if (!std::isfinite(best.m) || !std::isfinite(best.log_tau_ms) || !std::isfinite(best.c))
    return NoFit(count, "the fit found no model");

  DecayFit fit;
  fit.m = best.m;
  fit.tau_ms = std::exp(best.log_tau_ms);
  fit.c = best.c;
  fit.model.resize(count);
  std::vector<std::array<double, 3>> slopes(count);
  model.Predict(best, fit.model, slopes);

  // The covariance of (m, ln τ, c) from the weighted slopes: the gates' errors are the
  // stacks' own, so the misfit does not scale it.
  Eigen::MatrixXd jacobian(static_cast<Eigen::Index>(count), 3);
  double chi2 = 0, squares = 0, widths = 0, integral = 0;
  for (size_t i = 0; i < count; ++i) {
    for (int p = 0; p < 3; ++p)
      jacobian(static_cast<Eigen::Index>(i), p) = slopes[i][static_cast<size_t>(p)] / errors[i];
    const double residual = m[i] - fit.model[i];
    chi2 += residual * residual * weights[i];
    squares += residual * residual;
    widths += gates[i].gate.Width();
    integral += m[i] * gates[i].gate.Width();
  }
  const Eigen::Matrix3d normal = jacobian.transpose() * jacobian;
  const Eigen::FullPivLU<Eigen::Matrix3d> lu(normal);
  Eigen::Vector3d variance = Eigen::Vector3d::Constant(std::numeric_limits<double>::infinity());
  if (lu.isInvertible()) variance = lu.inverse().diagonal();
  const double t95 = IntervalFactor(gates);
  fit.m_error = std::sqrt(variance[0]);
  fit.tau_error_ms = fit.tau_ms * std::sqrt(variance[1]);
  fit.c_error = std::sqrt(variance[2]);
  fit.m_interval = t95 * fit.m_error;
  fit.tau_interval_ms = t95 * fit.tau_error_ms;
  fit.c_interval = t95 * fit.c_error;

  // A decay whose gates stand nowhere beyond their errors from 0 (ground without
  // polarisation) and whose fit's m is not told from 0 either (its ± beyond m) is too weak
  // to fit: its numbers would only mislead. A ± of no number is no fit at all. The gates'
  // own flags stay, with τ not determined. Gates without errors (a decay without noise)
  // give the ± no meaning.
  const bool errors_known = std::any_of(gates.begin(), gates.end(), [](const auto& gate) { return gate.error > 0; });
  const bool gates_stand_out = std::any_of(gates.begin(), gates.end(), [](const GateChargeability& gate) {
    return std::abs(gate.m) > DecayFlagSigmas * gate.error;
  });
  if (errors_known && (!std::isfinite(fit.m_interval) || (fit.m_interval >= std::abs(fit.m) && !gates_stand_out))) {
    DecayFit none = NoFit(count, gates_stand_out ? "the fit found no model" : TooWeakToFit);
    none.flags = DecayFlags(gates, NaN, NaN);
    return none;
  }

  fit.chi2 = chi2 / static_cast<double>(count);
  fit.data_error = std::sqrt(squares / static_cast<double>(count));
  fit.rms_pct = 100 * fit.data_error / std::abs(integral / widths);
  // A τ the gates do not determine is no time constant of this decay.
  fit.flags = DecayFlags(gates, fit.chi2, std::isfinite(fit.tau_error_ms) ? fit.tau_ms : NaN);
  return fit;
}
