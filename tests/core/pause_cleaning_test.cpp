// Spikes and hum taken out of the pauses, against pauses built in closed form: a decay
// with the pause's sign, an offset and a drift, seeded noise, and what is added to it.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "ip/hum_removal.h"
#include "ip/least_squares.h"
#include "ip/pauses.h"
#include "ip/spike_removal.h"
#include "ip/wide_vectors.h"

namespace {

constexpr int64_t Length = 500, Count = 8;
constexpr double Rate = 1000;

// Pause p, sample j: sign · 20 e^{-t/40 ms} + 5 mV + 0.3 mV/s drift, noise of 0.05 mV.
Pauses CleanPauses(double noise_mv = 0.05, int64_t length = Length) {
  Pauses pauses{length, Count, Rate, std::vector<double>(static_cast<size_t>(length * Count))};
  std::mt19937_64 random(7);
  std::normal_distribution<double> noise(0, noise_mv);
  for (int64_t p = 0; p < Count; ++p)
    for (int64_t j = 0; j < length; ++j)
      pauses.values[static_cast<size_t>(p * length + j)] =
          pauses.Sign(p) * 20 * std::exp(-(j + 0.5) / 40) + 5 + 0.3 * pauses.Time(p, j) + noise(random);
  return pauses;
}

TEST(SpikeRemoval, ReplacesTheSpikesAndNothingElse) {
  const Pauses clean = CleanPauses();
  Pauses spiky = clean;
  const std::vector<std::pair<int64_t, int64_t>> spikes = {{0, 3}, {2, 100}, {2, 101}, {5, 250}, {7, 498}, {6, 300}};
  for (auto [p, j] : spikes) spiky.values[static_cast<size_t>(p * Length + j)] += (j % 2 ? -1 : 1) * 4.0;
  // One only nine typical jumps high (the noise's jump is √1.5 times 0.05 mV).
  spiky.values[static_cast<size_t>(6 * Length + 300)] -= 4.0 - 9 * std::sqrt(1.5) * 0.05;
  Pauses untouched = clean;
  EXPECT_EQ(RemoveSpikes(untouched), 0) << "noise alone is no spike";
  EXPECT_EQ(untouched.values, clean.values);

  EXPECT_EQ(RemoveSpikes(spiky), static_cast<int>(spikes.size())) << "two side by side are found in two rounds";
  for (auto [p, j] : spikes) {
    const size_t i = static_cast<size_t>(p * Length + j);
    EXPECT_NEAR(spiky.values[i], clean.values[i], 0.25) << "pause " << p << " sample " << j;
  }
  size_t changed = 0;
  for (size_t i = 0; i < clean.values.size(); ++i) changed += spiky.values[i] != clean.values[i];
  EXPECT_EQ(changed, spikes.size()) << "the neighbours of a spike stay as they are";

  // A run of spikes is put back on the line between its good neighbours, sample by sample
  // along its span: here on a bump of this pause's own, which neither the common decay nor
  // the pause's level follows.
  Pauses bumped = CleanPauses();
  for (int64_t j = 0; j < Length; ++j) bumped.values[static_cast<size_t>(3 * Length + j)] += 2 * std::sin(j / 10.0);
  Pauses run = bumped;
  run.values[static_cast<size_t>(3 * Length + 150)] += 5;
  run.values[static_cast<size_t>(3 * Length + 151)] -= 5;
  EXPECT_EQ(RemoveSpikes(run), 2);
  for (int64_t j : {150, 151}) {
    const size_t i = static_cast<size_t>(3 * Length + j);
    EXPECT_NEAR(run.values[i], bumped.values[i], 0.06) << "sample " << j << " of the run";
  }
  // A spike beside a far bigger one stands in its shadow (the big one's neighbours jump by
  // half of it): it is found in the next round.
  Pauses shadowed = clean;
  shadowed.values[static_cast<size_t>(4 * Length + 200)] += 60;
  shadowed.values[static_cast<size_t>(4 * Length + 202)] -= 2;
  EXPECT_EQ(RemoveSpikes(shadowed), 2);
  EXPECT_NEAR(shadowed.values[static_cast<size_t>(4 * Length + 202)],
              clean.values[static_cast<size_t>(4 * Length + 202)], 0.25);

  // The fast early decay of a noise-free record is no spike either.
  Pauses exact = CleanPauses(0);
  EXPECT_EQ(RemoveSpikes(exact), 0);
}

TEST(LeastSquares, DotTakesEverySample) {
  for (size_t n = 1; n <= 9; ++n) {
    const std::vector<double> ones(n, 1.0), counting = [n] {
      std::vector<double> values(n);
      for (size_t i = 0; i < n; ++i) values[i] = static_cast<double>(i + 1);
      return values;
    }();
    EXPECT_EQ(Dot(ones, counting), static_cast<double>(n * (n + 1) / 2)) << n << " samples";
  }
}

// The products and subtractions of many series at once, in stretches and in registers of
// either width, give to the bit what one series at a time gives (every length about a
// stretch's end and a register's width, every number of series), and the first look at
// the pauses is the same in both widths.
TEST(LeastSquares, SeriesAtOnceAreSeriesOneByOneInEitherWidth) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1, 1);
  std::vector<PauseScreen> looks;
  for (bool wide : {true, false}) {
    WideVectorsWanted() = wide;
    for (size_t n : {1, 3, 4, 15, 16, 17, 127, 128, 129, 1000, 1001})
      for (size_t count : {1, 2, 3, 5, 8, 9, 18})
        for (size_t rows : {1, 3}) {
          std::vector<double> table(count * (n + 2)), x(rows * (n + 1)), c(rows * count);
          for (double& v : table) v = value(random);
          for (double& v : x) v = value(random);
          for (size_t i = 0; i < c.size(); ++i) c[i] = i % 3 == 1 ? 0 : value(random);
          std::vector<double> products(rows * count);
          DotsOfRows(x.data(), n + 1, rows, n, table.data(), n + 2, count, products.data());
          std::vector<double> expected = x;
          for (size_t r = 0; r < rows; ++r)
            for (size_t k = 0; k < count; ++k) {
              const std::span<const double> f(table.data() + k * (n + 2), n), row(x.data() + r * (n + 1), n);
              ASSERT_EQ(products[r * count + k], Dot(f, row)) << n << " samples, series " << k << " of " << count;
              if (c[r * count + k] != 0)
                for (size_t j = 0; j < n; ++j) expected[r * (n + 1) + j] -= c[r * count + k] * f[j];
            }
          SubtractOfRows(x.data(), n + 1, rows, n, c.data(), table.data(), n + 2, count);
          ASSERT_EQ(x, expected) << n << " samples, " << count << " series, " << rows << " rows, wide " << wide;
        }
    Pauses pauses = CleanPauses(0.3, 1001);
    pauses.values[5 * 1001 + 77] = 40;  // a spike, the largest jump
    looks.push_back(ScreenPauses(pauses));
  }
  WideVectorsWanted() = true;
  EXPECT_EQ(looks[0].decay, looks[1].decay);
  for (auto field : {&PauseScreen::jump_squares, &PauseScreen::largest_jump, &PauseScreen::residual_squares,
                     &PauseScreen::largest_value})
    EXPECT_EQ(looks[0].*field, looks[1].*field);
}

TEST(HumRemoval, FindsTheFrequencyAndLeavesTheDecay) {
  for (double hz : {50.0, 50.37, 49.12, 60.5}) {
    const Pauses clean = CleanPauses();
    Pauses hummed = clean;
    for (int64_t p = 0; p < Count; ++p)
      for (int64_t j = 0; j < Length; ++j) {
        const double phase = 2 * std::numbers::pi * hz * hummed.Time(p, j) + 0.4;
        hummed.values[static_cast<size_t>(p * Length + j)] +=
            3 * std::sin(phase) + std::sin(3 * phase) + 0.3 * std::sin(2 * phase + 1) + 0.2 * std::cos(6 * phase);
      }
    const HumRemoval hum = RemoveHum(hummed, std::vector<double>{50, 60});
    EXPECT_NEAR(hum.frequency_hz, hz, 0.002) << hz;
    EXPECT_NEAR(hum.amplitude_mv, 3, 0.02) << hz;
    double worst = 0;
    for (size_t i = 0; i < clean.values.size(); ++i)
      worst = std::max(worst, std::abs(hummed.values[i] - clean.values[i]));
    EXPECT_LT(worst, 0.05) << hz << " Hz: what is left of the hum, sample by sample";
  }
  // At 149.5 / 3 Hz the 3rd harmonic turns by half a cycle from one pause to the next: the
  // pauses, less their common decay, do not see it, and the decay alone tells it (in noise
  // of 0.5 mV, where nothing else makes it stand out between the pauses).
  {
    const Pauses clean = CleanPauses(0.5);
    Pauses hummed = clean;
    for (int64_t p = 0; p < Count; ++p)
      for (int64_t j = 0; j < Length; ++j) {
        const double phase = 2 * std::numbers::pi * 149.5 / 3 * hummed.Time(p, j) + 0.4;
        hummed.values[static_cast<size_t>(p * Length + j)] += 3 * std::sin(phase) + std::sin(3 * phase);
      }
    RemoveHum(hummed, std::vector<double>{50, 60});
    double worst = 0;
    for (size_t i = 0; i < clean.values.size(); ++i)
      worst = std::max(worst, std::abs(hummed.values[i] - clean.values[i]));
    EXPECT_LT(worst, 0.15) << "a 3rd harmonic that turns by half a cycle from pause to pause";
  }

  // A strong harmonic near the Nyquist frequency raises the noise judged from the samples'
  // jumps far above the true one: a weak harmonic beside it, twice the noise, is taken out too.
  {
    const Pauses clean = CleanPauses();
    Pauses hummed = clean;
    for (int64_t p = 0; p < Count; ++p)
      for (int64_t j = 0; j < Length; ++j) {
        const double phase = 2 * std::numbers::pi * 50.37 * hummed.Time(p, j);
        hummed.values[static_cast<size_t>(p * Length + j)] +=
            3 * std::sin(phase) + std::sin(7 * phase + 2) + 0.1 * std::cos(2 * phase);
      }
    RemoveHum(hummed, std::vector<double>{50, 60});
    double worst = 0;
    for (size_t i = 0; i < clean.values.size(); ++i)
      worst = std::max(worst, std::abs(hummed.values[i] - clean.values[i]));
    EXPECT_LT(worst, 0.05) << "a weak 2nd harmonic beside a strong 7th";
  }

  // A hum three times the noise, in short and in long pauses (32 s of record): the phases
  // from one stretch to the next are uncertain, and the pause-to-pause steps bring the
  // frequency in close enough for the fit's own correction.
  for (int64_t length : {Length, int64_t{2000}}) {
    Pauses noisy = CleanPauses(1.0, length);  // 1 mV of noise
    for (int64_t p = 0; p < Count; ++p)
      for (int64_t j = 0; j < length; ++j)
        noisy.values[static_cast<size_t>(p * length + j)] +=
            3.0 * std::sin(2 * std::numbers::pi * 50.21 * noisy.Time(p, j));
    EXPECT_NEAR(RemoveHum(noisy, std::vector<double>{50, 60}).frequency_hz, 50.21, 0.002) << length;
  }

  // Hum near both mains frequencies at once: each is found and taken out.
  for (double second : {60.3, 59.93}) {
    const Pauses clean = CleanPauses();
    Pauses hummed = clean;
    for (int64_t p = 0; p < Count; ++p)
      for (int64_t j = 0; j < Length; ++j)
        hummed.values[static_cast<size_t>(p * Length + j)] +=
            3 * std::sin(2 * std::numbers::pi * 50.2 * hummed.Time(p, j)) +
            2 * std::cos(2 * std::numbers::pi * second * hummed.Time(p, j));
    RemoveHum(hummed, std::vector<double>{50, 60});
    double worst = 0;
    for (size_t i = 0; i < clean.values.size(); ++i)
      worst = std::max(worst, std::abs(hummed.values[i] - clean.values[i]));
    EXPECT_LT(worst, 0.05) << second << " Hz beside 50.2 Hz";
  }

  Pauses quiet = CleanPauses();
  const std::vector<double> before = quiet.values;
  EXPECT_TRUE(std::isnan(RemoveHum(quiet, std::vector<double>{50, 60}).frequency_hz)) << "no hum in noise";
  EXPECT_EQ(quiet.values, before);
  Pauses short_pauses{20, Count, Rate, std::vector<double>(20 * Count, 1.0)};
  EXPECT_TRUE(std::isnan(RemoveHum(short_pauses, std::vector<double>{50}).frequency_hz))
      << "a pause shorter than two cycles";
}

}  // namespace
