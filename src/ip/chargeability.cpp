#include "ip/chargeability.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "ip/hum_removal.h"
#include "ip/least_squares.h"
#include "ip/pauses.h"
#include "ip/spike_removal.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

double Square(double x) { return x * x; }

// The pauses' noise, as the stacks carry it. The decay is the mean of the three-pause
// stacks, a sum Σ w_p d_p over the pauses with alternating signs (interior pauses 1/K,
// the first and last two tapered); its standard error is the pauses' own noise times |w|.
// That noise is what a fit of each pause's value (a gate's mean, say) leaves: the decay
// with its sign, growing along the pauses while the ground still charges, and a drift, a
// polynomial of the pause's number. The stacks' own spread would count the charging and a
// drift that their mean cancels (the alternating part of a quadratic drift), and, as
// neighbours share two pauses, has fewer degrees of freedom than stacks. Fewer than eight
// pauses leave too little to such a fit: their noise is then the samples' white noise.
class PauseNoise {
 public:
  PauseNoise(int64_t count, double white_variance)
      : count_(static_cast<size_t>(count)), weights_(count_, 0.0), white_variance_(white_variance) {
    const size_t stacks = count_ - 2;
    for (size_t s = 0; s < stacks; ++s) {
      const double sign = s % 2 == 0 ? 1 : -1;
      weights_[s] += sign / 4 / static_cast<double>(stacks);
      weights_[s + 1] -= sign / 2 / static_cast<double>(stacks);
      weights_[s + 2] += sign / 4 / static_cast<double>(stacks);
    }
    for (double w : weights_) weight_squares_ += w * w;
    if (count_ < 8) return;
    // The decay and its growth, then a quadratic drift.
    const double middle = static_cast<double>(count_ - 1) / 2;
    auto column = [&](bool signed_, int power) {
      std::vector<double> values(count_);
      for (size_t p = 0; p < count_; ++p)
        values[p] = (signed_ && p % 2 == 1 ? -1 : 1) * std::pow((static_cast<double>(p) - middle) / middle, power);
      return values;
    };
    std::vector<std::vector<double>> columns{column(true, 0), column(true, 1), column(false, 0), column(false, 1),
                                             column(false, 2)};
    // Gram-Schmidt, twice over for its rounding.
    for (std::vector<double>& values : columns) {
      for (int round = 0; round < 2; ++round)
        for (const std::vector<double>& q : basis_) {
          const double projection = Dot(values, q);
          for (size_t p = 0; p < count_; ++p) values[p] -= projection * q[p];
        }
      const double norm = std::sqrt(Dot(values, values));
      for (double& value : values) value /= norm;
      basis_.push_back(std::move(values));
    }
  }

  // The degrees of freedom the fit leaves; none when the noise is the samples'.
  size_t Freedom() const { return basis_.empty() ? 0 : count_ - basis_.size(); }

  // The decay, Σ w_p y_p, of one value per pause.
  double Mean(std::span<const double> y) const { return Dot(weights_, y); }

  // Its standard error, from what the fit leaves of y or, with fewer pauses, from the
  // samples' noise and Σ of the squared weights that made each pause's y of its samples.
  double StandardError(std::span<const double> y, double sample_weight_squares) const {
    if (basis_.empty()) return std::sqrt(white_variance_ * sample_weight_squares * weight_squares_);
    double left = Dot(y, y);
    for (const std::vector<double>& q : basis_) {
      const double projection = Dot(q, y);
      left -= projection * projection;
    }
    return std::sqrt(std::max(left, 0.0) / static_cast<double>(Freedom()) * weight_squares_);
  }

 private:
  size_t count_;
  std::vector<double> weights_;
  double white_variance_;
  std::vector<std::vector<double>> basis_;
  double weight_squares_ = 0;
};

// The variance of one sample's white noise: from the jumps (second differences) of what
// the common decay leaves of the pauses, which neither the decay nor a drift moves.
double WhiteNoiseVariance(const Pauses& pauses) {
  const std::vector<double> residual = DecayResidual(pauses);
  double squares = 0, count = 0;
  for (int64_t p = 0; p < pauses.count; ++p) {
    const double* r = residual.data() + p * pauses.length;
    for (int64_t j = 1; j + 1 < pauses.length; ++j) {
      const double jump = r[j] - (r[j - 1] + r[j + 1]) / 2;
      squares += jump * jump;
      count += 1;
    }
  }
  const double kept = 1 - 1 / static_cast<double>(pauses.count);
  return count > 0 ? squares / count / 1.5 / kept : 0;
}

// Two-sided 95 % quantiles of Student's t for 1..30 degrees of freedom, and of the normal
// distribution for none given.
double Student95(size_t freedom) {
  static constexpr double quantiles[] = {12.706, 4.303, 3.182, 2.776, 2.571, 2.447, 2.365, 2.306, 2.262, 2.228,
                                         2.201,  2.179, 2.160, 2.145, 2.131, 2.120, 2.110, 2.101, 2.093, 2.086,
                                         2.080,  2.074, 2.069, 2.064, 2.060, 2.056, 2.052, 2.048, 2.045, 2.042};
  if (freedom == 0) return 1.96;  // the samples' noise: thousands of degrees of freedom
  return freedom <= 30 ? quantiles[freedom - 1] : 1.96;
}

}  // namespace

Chargeability NoChargeability(double vp, const std::vector<Gate>& gates, const std::string& reason) {
  Chargeability result;
  result.vp = vp;
  result.no_answer = reason;
  result.m = result.m_error = result.m_interval = result.mt_ms = NaN;
  for (const Gate& gate : gates) result.gates.push_back({gate, NaN, NaN, NaN});
  return result;
}

namespace {

// From the exponent's eleven bits, all set only for an infinity or a NaN: one more carries
// into the twelfth bit just for them. A loop of shifts and ors that the compiler runs on
// several values at once, where a test and a branch per value would not.
bool AllFinite(const std::vector<double>& values) {
  uint64_t carried = 0;
  for (double value : values) carried |= ((std::bit_cast<uint64_t>(value) >> 52) & 0x7ff) + 1;
  return (carried & 0x800) == 0;
}

// A piece of a value that is linear in the stacked decay: weight times the sum of the
// samples of a range asked of the hum's fit.
struct Piece {
  size_t range = 0;
  double weight = 0;
};

// The variance that the hum fits' uncertain coefficients add to such a value.
double HumVariance(const std::vector<HumUncertainty>& uncertainties, const std::vector<Piece>& pieces) {
  double variance = 0;
  for (const HumUncertainty& fit : uncertainties) {
    std::vector<double> effect(fit.Shapes(), 0.0);
    for (size_t shape = 0; shape < effect.size(); ++shape)
      for (const Piece& piece : pieces) effect[shape] += piece.weight * fit.StackedOver(shape, piece.range);
    for (size_t a = 0; a < effect.size(); ++a)
      for (size_t b = 0; b < effect.size(); ++b) variance += effect[a] * fit.covariance[a][b] * effect[b];
  }
  return std::max(variance, 0.0);
}

}  // namespace

Chargeability ComputeChargeability(std::span<const float> voltage_mv, int32_t half_period, int32_t period_count,
                                   int32_t sample_rate, double vp, const std::vector<Gate>& gates,
                                   const PauseCleaning& cleaning, bool decay_curve, double vp_error) {
  if (gates.empty()) return NoChargeability(vp, gates, "no gate");
  if (!std::isfinite(vp) || vp == 0) return NoChargeability(vp, gates, "no Vp");
  if (period_count < 2) return NoChargeability(vp, gates, "fewer than three pauses");
  Pauses pauses = PausesOf(voltage_mv, half_period, period_count, sample_rate);
  if (pauses.count < 3) return NoChargeability(vp, gates, "the curve is shorter than its half-periods");
  if (!AllFinite(pauses.values)) return NoChargeability(vp, gates, "a sample in a pause is not a number");

  Chargeability result;
  result.vp = vp;
  // Spikes first, so that they do not pull the hum's fit; then once more, since hum
  // hides the smaller ones.
  PauseScreen look = ScreenPauses(pauses);
  if (cleaning.remove_spikes && (result.spikes_removed = RemoveSpikes(pauses, look)) > 0) look = ScreenPauses(pauses);
  std::vector<SampleRange> gate_samples;
  for (const Gate& gate : gates) gate_samples.push_back(GateSamples(gate, half_period, sample_rate));
  const HumRemoval hum = RemoveHum(pauses, cleaning.mains_hz, look, gate_samples);
  if (!hum.unresolved.empty()) return NoChargeability(vp, gates, hum.unresolved);
  if (std::isfinite(hum.frequency_hz)) {
    result.hum_hz = hum.frequency_hz;
    result.hum_mv = hum.amplitude_mv;
    // Counted with those found before: the spikes the hum uncovered.
    if (cleaning.remove_spikes) result.spikes_removed += RemoveSpikes(pauses, look);
  }

  const PauseNoise noise(pauses.count, pauses.count < 8 ? WhiteNoiseVariance(pauses) : 0);
  const size_t length = static_cast<size_t>(pauses.length), count = static_cast<size_t>(pauses.count);
  std::vector<double> column(count);
  for (size_t j = 0; j < length && decay_curve; ++j) {
    for (size_t p = 0; p < count; ++p) column[p] = pauses.values[p * length + j];
    result.time_ms.push_back(SampleTimeMs(static_cast<int64_t>(j), sample_rate));
    result.decay_mv.push_back(noise.Mean(column));
    result.decay_error_mv.push_back(noise.StandardError(column, 1));
  }

  // Each gate's mean in every pause, in mV/V of Vp, and their width-weighted sum for M.
  // The error of the hum's fit is common to every pause, so the pauses' noise does not
  // show it, nor Vp's: both are added to it.
  const double t95 = Student95(noise.Freedom()), vp_share = vp_error / vp;
  std::vector<double> pause_m(count, 0.0), pause_gate(count);
  std::vector<Piece> m_pieces;
  double widths = 0, m_weight_squares = 0;
  for (const Gate& gate : gates) widths += gate.Width();
  for (size_t g = 0; g < gates.size(); ++g) {
    const Gate& gate = gates[g];
    const SampleRange samples = gate_samples[g];
    const double scale = 1000 / static_cast<double>(samples.Count()) / vp, share = gate.Width() / widths;
    const Piece piece{g, scale};
    m_pieces.push_back({g, scale * share});
    m_weight_squares += Square(scale * share) * static_cast<double>(samples.Count());
    for (size_t p = 0; p < count; ++p) {
      const double sum =
          Sum(std::span(pauses.values)
                  .subspan(p * length + static_cast<size_t>(samples.first), static_cast<size_t>(samples.Count())));
      pause_gate[p] = samples.Count() > 0 ? sum * scale : NaN;
      pause_m[p] += pause_gate[p] * share;
    }
    const double m = noise.Mean(pause_gate);
    const double error =
        std::sqrt(Square(noise.StandardError(pause_gate, Square(scale) * static_cast<double>(samples.Count()))) +
                  HumVariance(hum.uncertainties, {piece}) + Square(m * vp_share));
    result.gates.push_back({gate, m, error, t95 * error});
    result.mt_ms += m * gate.Width() / 1000;
  }
  result.m = noise.Mean(pause_m);
  const double noise_variance = Square(noise.StandardError(pause_m, m_weight_squares));
  const double hum_variance = HumVariance(hum.uncertainties, m_pieces);
  // Hum fitted only by how it changes from pause to pause, when it hardly does, is known
  // too poorly to be taken out: the answer would be its fit's. (Below a hundredth of a
  // percent of M, or 0.01 mV/V, it changes nothing worth saying.)
  if (!hum.unseen_in_decay.empty() && hum_variance > 100 * noise_variance + Square(0.01 * (1 + std::abs(result.m))))
    return NoChargeability(vp, gates, hum.unseen_in_decay);
  result.m_error = std::sqrt(noise_variance + hum_variance + Square(result.m * vp_share));
  result.m_interval = t95 * result.m_error;
  return result;
}
