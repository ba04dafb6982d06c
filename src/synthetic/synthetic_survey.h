#pragma once
// A realistic survey made up from a model: electrodes on a line, dipole-dipole or
// Wenner quadrupoles, a current of current half-periods and pauses, voltage responses
// that alternate in sign between current half-periods over a self-potential offset,
// settling after every switch, and seeded noise. The same options give the same bytes.

#include <cstdint>
#include <string>

#include "synthetic/polarisation_model.h"

// A fault given to every polarised channel's decay, for the checks of the decay's fit. The
// sizes follow the channel's own chargeability and time constant.
enum class DecayFault {
  None,
  // A second Debye relaxation of -0.6 m and 10 τ: the decay starts positive and turns
  // negative (after about 0.6 τ over a Debye ground, later over a Cole-Cole one).
  SignChange,
  // A smooth pulse the spike test leaves (a raised cosine 4 % of the half-period wide,
  // 30 m times the DC voltage high, with the voltage's sign) at 23 % of the third pause.
  LeftSpike,
  // A second Debye relaxation of 2 m whose time constant, three half-periods, lies
  // beyond the pause.
  SlowRelaxation,
};

// Where the electrodes of each block stand: electrode e lies at (e - 1) x spacing.
enum class SynthLayout {
  // A block's channels share its A and B.
  DipoleDipole,  // A, B = A+1, M = B+1+c, N = M+1 for channel c, all on the line
  Wenner,        // one channel per block: A, M = A+s, N = A+2s, B = A+3s, s = 1..channels in turn
  Gradient,      // A and B = A+channels+2 fixed, M = A+1+c, N = M+1 between them
  PoleDipole,    // A, B remote (electrode 0), M = A+1+c, N = M+1
};

struct SynthOptions {
  int32_t blocks = 24;
  int32_t channels = 8;  // per block, at most 20
  int32_t electrodes = 48;
  float spacing_m = 5.0f;
  bool wenner = false;  // dipole-dipole otherwise
  int32_t sample_rate = 1000;
  int32_t half_period = 1000;
  int32_t second_length = 1000;
  int32_t period_count = 4;
  double current_a = 0.5;
  double noise_mv = 0.5;  // standard deviation of the voltage noise; every 13th electrode is 30 times noisier
  uint64_t seed = 1;
  bool sparse = false;  // curves left as holes (zeros): for huge indexing benchmarks
  // A physical model: the voltage of each channel is the one a homogeneous half-space of
  // rho_ohm_m gives (signed: current +I into A, potential M minus N), or, with rho 0,
  // the smoothly varying model's. Without it (the first surveys' model, kept so that
  // the same options still give the same bytes) every voltage is positive.
  bool physical = false;
  SynthLayout layout = SynthLayout::DipoleDipole;
  double rho_ohm_m = 0;
  // Every quadrupole written a second time with its dipoles exchanged, after the others.
  bool reciprocal = false;

  // Induced polarisation: each channel's voltage follows a Cole-Cole relaxation driven by
  // its current curve, with a chargeability and a time constant of its own that vary by up
  // to ±25 % around these. With everything below at 0 the first surveys' response is kept.
  double chargeability_mv_v = 0;
  double tau_ms = 100;
  double cole_c = 1;  // 1: Debye
  // Every channel's chargeability, time constant and hum amplitude exactly as given, for
  // a record whose ground is known to the digit.
  bool uniform_ground = false;
  // What the field adds to the voltage curves (see FieldDisturbance), in mV and seconds.
  double sp_mv = 0;  // added to every channel's few millivolts of self-potential
  double drift_mv_per_s = 0;
  double bend_mv_per_s2 = 0;  // quadratic drift
  double creep_mv = 0;
  double creep_s = 60;
  double hum_mv = 0;  // varies by channel between 0.6 and 1 times this; its phase by block
  double hum_hz = 50;
  double hum_hz_step = 0;  // added to hum_hz from block to block: many frequencies in one survey
  // The 3rd, 5th and 7th harmonics, as fractions of the fundamental.
  double hum_third = 1.0 / 3, hum_fifth = 0, hum_seventh = 0;
  double spikes_per_s = 0;
  double spike_mv = 20;
  DecayFault decay_fault = DecayFault::None;

  bool Polarised() const {
    return chargeability_mv_v != 0 || sp_mv != 0 || drift_mv_per_s != 0 || bend_mv_per_s2 != 0 || creep_mv != 0 ||
           hum_mv != 0 || spikes_per_s != 0;
  }
};

// What a survey file holds as written: a Wenner layout has one channel a block, and
// reciprocal measurements add a block of one channel each.
struct SynthWritten {
  int32_t blocks = 0;
  int32_t records = 0;
};

// The polarisation of the channel (from 0) of a block (from 0) as the survey is written:
// the truth its decay's fit should find. None (0 chargeability) for a survey that is not
// polarised.
PolarisationModel ChannelPolarisation(const SynthOptions& options, int32_t block, int32_t channel);

// Writes the survey to path; throws InOutError.
SynthWritten WriteSyntheticSurvey(const std::string& path, const SynthOptions& options);
