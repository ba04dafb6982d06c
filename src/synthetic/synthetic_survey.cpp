#include "synthetic/synthetic_survey.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "measurement/survey.h"
#include "measurement/survey_writer.h"
#include "synthetic/field_disturbance.h"
#include "synthetic/polarisation_model.h"

namespace {

// splitmix64 with Box-Muller: unlike the standard distributions, its output is the
// same with every library, so a seed always gives the same file.
class Noise {
 public:
  explicit Noise(uint64_t seed) : state_(seed) {}
  double Gaussian() {
    double u1 = (static_cast<double>(Next() >> 11) + 1.0) * 0x1.0p-53;
    double u2 = static_cast<double>(Next() >> 11) * 0x1.0p-53;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
  }

 private:
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

struct Quadrupole {
  int32_t a, b, m, n;
};

int32_t Wrap(int64_t electrode, int32_t count) { return static_cast<int32_t>((electrode - 1) % count + 1); }

// A dipole-dipole spread steps along the line and starts again at its beginning when
// its farthest channel would pass the last electrode, so every quadrupole stays on the
// line: A, B = A+1, M = B+1+c, N = M+1. On a line too short for all the channels, the
// channels beyond it begin again at the nearest separation.
Quadrupole DipoleDipoleOnTheLine(int32_t block, int32_t channel, int32_t channels, int32_t e) {
  const int32_t stations = std::max(e - channels - 2, 1);
  const int32_t a = block % stations + 1;
  const int32_t separation = channel % std::max(e - a - 2, 1);
  return {a, a + 1, a + 2 + separation, a + 3 + separation};
}

// A Wenner quadrupole moves all four electrodes, so each block holds one: the blocks
// step through the spacings 1..channels at each station.
Quadrupole PhysicalQuadrupole(const SynthOptions& o, int32_t block, int32_t channel, int32_t e) {
  int32_t first = Wrap(block + 1, e);
  switch (o.layout) {
    case SynthLayout::Wenner: {
      int32_t levels = std::max(o.channels, 1);
      int32_t s = block % levels + 1;
      first = Wrap(block / levels + 1, e);
      return {first, Wrap(first + 3 * s, e), Wrap(first + s, e), Wrap(first + 2 * s, e)};
    }
    case SynthLayout::Gradient: {
      int32_t m = Wrap(first + 1 + channel, e);
      return {first, Wrap(first + o.channels + 2, e), m, Wrap(m + 1, e)};
    }
    case SynthLayout::PoleDipole: {
      int32_t m = Wrap(first + 1 + channel, e);
      return {first, 0, m, Wrap(m + 1, e)};
    }
    case SynthLayout::DipoleDipole: break;
  }
  return DipoleDipoleOnTheLine(block, channel, std::clamp(o.channels, 0, MaxChannels), e);
}

Quadrupole QuadrupoleOf(const SynthOptions& o, int32_t block, int32_t channel) {
  int32_t e = std::max(o.electrodes, 4);
  int32_t first = Wrap(block + 1, e);
  if (o.physical) return PhysicalQuadrupole(o, block, channel, e);
  if (o.wenner) {
    int32_t s = channel + 1;
    return {first, Wrap(first + 3 * s, e), Wrap(first + s, e), Wrap(first + 2 * s, e)};
  }
  return DipoleDipoleOnTheLine(block, channel, std::clamp(o.channels, 0, MaxChannels), e);
}

// Apparent resistivity of a smooth two-layer-like earth along the line, in ohm-metres.
double Resistivity(const Quadrupole& q, const SynthOptions& o) {
  double centre = (q.a + q.b + q.m + q.n) / 4.0 * o.spacing_m;
  double depth = std::abs(q.m - q.b) + 1.0;
  return 100.0 + 60.0 * std::sin(centre / 40.0) + 15.0 * std::log(depth);
}

// The potential of M minus N per ampere into A and out of B over a half-space of 1 Ω·m,
// electrode e at (e - 1) x spacing, electrode 0 at infinity: (1/AM - 1/BM - 1/AN + 1/BN) / 2π.
double VoltsPerAmpere(const Quadrupole& q, const SynthOptions& o) {
  auto term = [&](int32_t current, int32_t potential) {
    if (current == 0 || potential == 0) return 0.0;
    return 1 / (std::abs(current - potential) * double(o.spacing_m));
  };
  return (term(q.a, q.m) - term(q.b, q.m) - term(q.a, q.n) + term(q.b, q.n)) / (2 * std::numbers::pi);
}

double GeometricFactor(const Quadrupole& q, const SynthOptions& o) {
  auto distance = [&](int32_t x, int32_t y) { return std::max(std::abs(x - y), 1) * double(o.spacing_m); };
  double inverse = 1 / distance(q.a, q.m) - 1 / distance(q.b, q.m) - 1 / distance(q.a, q.n) + 1 / distance(q.b, q.n);
  return 2 * std::numbers::pi / std::max(std::abs(inverse), 1e-6);
}

// The level a curve settles to in each sample: half-periods of current (odd, from 1)
// and pauses (even); after the 4n half-periods the instrument keeps pausing.
struct Waveform {
  int64_t half_period;
  int64_t half_periods;
  // +1 or -1 during current half-periods (alternating), 0 in pauses.
  int Polarity(int64_t i) const {
    if (half_period <= 0) return 0;
    int64_t k = i / half_period + 1;
    if (k > half_periods || k % 2 == 0) return 0;
    return ((k - 1) / 2) % 2 == 0 ? 1 : -1;
  }
  double Settling(int64_t i, double tau) const {
    double t = half_period > 0 ? static_cast<double>(i % half_period) : 0;
    return 1.0 - std::exp(-t / tau);
  }
};

void CurrentCurve(const SynthOptions& o, const Waveform& w, Noise& noise, std::vector<float>& out) {
  double tau = std::max(1.0, w.half_period / 100.0);
  for (size_t i = 0; i < out.size(); ++i) {
    double on = std::abs(w.Polarity(static_cast<int64_t>(i)));
    double amps = o.current_a * on * w.Settling(static_cast<int64_t>(i), tau);
    out[i] = static_cast<float>(amps * (1 + 0.002 * noise.Gaussian()));
  }
}

// A potential electrode with a poor contact picks up far more noise than the others.
double NoiseVolts(const SynthOptions& o, const Quadrupole& q) {
  bool poor_contact = q.m % 13 == 0 || q.n % 13 == 0;
  return o.noise_mv / 1000 * (poor_contact ? 30 : 1);
}

// One channel of one block: what the ground and the field make of the current.
struct ChannelModel {
  double volts, sp, noise_volts;
  PolarisationModel polarisation;
  FieldDisturbance disturbance;
};

ChannelModel ChannelModelOf(const SynthOptions& o, const Quadrupole& q, int32_t block, int32_t channel, double volts) {
  ChannelModel model{volts, 0.002 * std::sin(block * 0.3 + channel), NoiseVolts(o, q), {}, {}};
  if (!o.Polarised()) return model;
  model.polarisation = ChannelPolarisation(o, block, channel);
  const double golden = 0.6180339887498949;
  model.disturbance = {o.sp_mv,
                       o.drift_mv_per_s,
                       o.bend_mv_per_s2,
                       o.creep_mv,
                       o.creep_s,
                       o.uniform_ground ? o.hum_mv : o.hum_mv * (0.6 + 0.1 * (channel % 5)),
                       o.hum_hz + o.hum_hz_step * block,
                       o.hum_third,
                       o.hum_fifth,
                       o.hum_seventh,
                       2 * std::numbers::pi * std::fmod(block * golden + static_cast<double>(o.seed % 1000) * 0.1, 1.0),
                       o.spikes_per_s,
                       o.spike_mv,
                       o.seed * 1000003 + static_cast<uint64_t>(block) * 101 + static_cast<uint64_t>(channel)};
  return model;
}

void FirstSurveysVoltageCurve(const Waveform& w, const ChannelModel& model, Noise& noise, std::vector<float>& out) {
  double tau = std::max(1.0, w.half_period / 12.0);
  for (size_t i = 0; i < out.size(); ++i) {
    int polarity = w.Polarity(static_cast<int64_t>(i));
    double response = polarity * model.volts * (1 - 0.2 * (1 - w.Settling(static_cast<int64_t>(i), tau)));
    out[i] = static_cast<float>(model.sp + response + model.noise_volts * noise.Gaussian());
  }
}

// What a decay fault adds to the response, per unit of the DC voltage.
void AddDecayFault(DecayFault fault, const Waveform& w, double sample_rate, const std::vector<double>& current,
                   const PolarisationModel& ground, std::vector<double>& response) {
  if (fault == DecayFault::LeftSpike) {
    const double width = 0.06 * static_cast<double>(w.half_period);
    const double centre = 5.23 * static_cast<double>(w.half_period);  // pause 3 is half-period 6
    for (int64_t i = static_cast<int64_t>(centre - width / 2); i <= static_cast<int64_t>(centre + width / 2); ++i)
      if (i >= 0 && static_cast<size_t>(i) < response.size())
        response[static_cast<size_t>(i)] +=
            15 * ground.chargeability * 0.5 *
            (1 + std::cos(2 * std::numbers::pi * (static_cast<double>(i) - centre) / width));
    return;
  }
  PolarisationModel second;
  if (fault == DecayFault::SignChange) second = {-0.6 * ground.chargeability, 10 * ground.tau_s, 1};
  if (fault == DecayFault::SlowRelaxation)
    second = {2 * ground.chargeability, 3 * static_cast<double>(w.half_period) / sample_rate, 1};
  if (second.chargeability == 0) return;
  const std::vector<double> relaxation = PolarisedResponse(current, sample_rate, second);
  for (size_t i = 0; i < response.size(); ++i) response[i] += relaxation[i] - current[i];
}

// The polarised ground driven by the current as it flows, settling included.
void PolarisedVoltageCurve(const Waveform& w, double sample_rate, const ChannelModel& model, DecayFault fault,
                           Noise& noise, std::vector<float>& out) {
  std::vector<double> current(out.size());
  double tau = std::max(1.0, w.half_period / 100.0);
  for (size_t i = 0; i < out.size(); ++i)
    current[i] = w.Polarity(static_cast<int64_t>(i)) * w.Settling(static_cast<int64_t>(i), tau);
  std::vector<double> millivolts = PolarisedResponse(current, sample_rate, model.polarisation);
  AddDecayFault(fault, w, sample_rate, current, model.polarisation, millivolts);
  for (double& value : millivolts) value *= 1000 * model.volts;
  AddFieldDisturbance(millivolts, sample_rate, model.disturbance);
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<float>(model.sp + millivolts[i] / 1000 + model.noise_volts * noise.Gaussian());
}

void VoltageCurve(const SynthOptions& o, const Waveform& w, const ChannelModel& model, Noise& noise,
                  std::vector<float>& out) {
  if (o.Polarised())
    PolarisedVoltageCurve(w, o.sample_rate, model, o.decay_fault, noise, out);
  else
    FirstSurveysVoltageCurve(w, model, noise, out);
}

}  // namespace

PolarisationModel ChannelPolarisation(const SynthOptions& o, int32_t block, int32_t channel) {
  if (!o.Polarised()) return {0, 0.1, 1};
  const double spread = o.uniform_ground ? 0 : 0.25;
  return {o.chargeability_mv_v / 1000 * (1 + spread * std::sin(0.37 * block + 1.3 * channel)),
          o.tau_ms / 1000 * (1 + spread * std::cos(0.29 * block + 0.7 * channel)), o.cole_c};
}

SynthWritten WriteSyntheticSurvey(const std::string& path, const SynthOptions& o) {
  SurveyHeader header{o.sample_rate, o.half_period, o.second_length, o.period_count};
  int64_t samples = std::max<int64_t>(header.SamplesPerCurve(), 0);
  SurveyWriter writer(path);
  writer.Header(header);
  std::vector<float> coordinates(static_cast<size_t>(std::clamp(o.electrodes, 0, MaxElectrodes)));
  for (size_t e = 0; e < coordinates.size(); ++e) coordinates[e] = static_cast<float>(e) * o.spacing_m;
  writer.Electrodes(coordinates);

  Noise noise(o.seed);
  Waveform waveform{o.half_period, 4 * int64_t{std::max(o.period_count, 0)}};
  int32_t channels = std::clamp(o.channels, 0, MaxChannels);
  if (o.physical && o.layout == SynthLayout::Wenner) channels = std::min(channels, 1);
  std::vector<float> current(o.sparse ? 0 : static_cast<size_t>(samples));
  std::vector<std::vector<float>> voltages(static_cast<size_t>(channels), std::vector<float>(current.size()));
  std::vector<ChannelCurve> curves(static_cast<size_t>(channels));
  struct Measured {
    Quadrupole quadrupole;
    ChannelModel model;
  };
  std::vector<Measured> reciprocals;
  SynthWritten written;
  for (int32_t block = 0; block < o.blocks; ++block) {
    if (!o.sparse) CurrentCurve(o, waveform, noise, current);
    Quadrupole first = QuadrupoleOf(o, block, 0);
    for (int32_t c = 0; c < channels; ++c) {
      Quadrupole q = QuadrupoleOf(o, block, c);
      double volts = !o.physical
                         ? Resistivity(q, o) * o.current_a / GeometricFactor(q, o)
                         : (o.rho_ohm_m > 0 ? o.rho_ohm_m : Resistivity(q, o)) * o.current_a * VoltsPerAmpere(q, o);
      const ChannelModel model = ChannelModelOf(o, q, block, c, volts);
      if (!o.sparse) VoltageCurve(o, waveform, model, noise, voltages[c]);
      curves[c] = {q.m, q.n, voltages[c]};
      if (o.reciprocal) reciprocals.push_back({q, model});
    }
    writer.Block(first.a, first.b, current, curves);
    ++written.blocks;
    written.records += channels;
  }
  // Each quadrupole again with its dipoles exchanged: by reciprocity the same voltage,
  // with noise of its own, one block each since the current now flows between M and N.
  for (const Measured& normal : reciprocals) {
    if (!o.sparse) CurrentCurve(o, waveform, noise, current);
    const Quadrupole& q = normal.quadrupole;
    Quadrupole exchanged{q.m, q.n, q.a, q.b};
    ChannelModel model = normal.model;
    model.noise_volts = NoiseVolts(o, exchanged);
    if (!o.sparse) VoltageCurve(o, waveform, model, noise, voltages[0]);
    ChannelCurve curve{exchanged.m, exchanged.n, voltages[0]};
    writer.Block(exchanged.a, exchanged.b, current, std::span(&curve, 1));
    ++written.blocks;
    ++written.records;
  }
  writer.Close();
  return written;
}
