#pragma once
// The surveys the benchmarks measure, written once into VOSTREL_BENCH_DIR
// (default /tmp/vostrel-bench) and reused while their options stay the same.

#include <string>

// 500 blocks of 20 channels, HalfPeriod 1000, SecondLength 1000, 4 periods: 10000
// records with S = 16000, about 0.67 GB. Sparse (curves are holes) or with real curves.
std::string TenThousandRecordSurvey(bool sparse);
// The same index with curves of 160 samples, to show that opening does not depend on S.
std::string TenThousandRecordShortCurveSurvey();
// The same size, polarised (30 mV/V, 100 ms) with drift, 2 mV of hum at 50.3 Hz and
// spikes: every record needs the hum fit and the spike test. Without hum: the same
// survey but for the hum.
std::string TenThousandRecordFieldSurvey(bool hum = true);
// Survey i (0 to 9) of a line of ten spreads of 2000 records: 100 blocks of 20 channels,
// HalfPeriod 500, 2 periods (about 32 MB each), each with its own noise.
std::string LineSpreadSurvey(int i);
// A line of the ten spreads rolled along by 60 m each, on ground that rises and falls.
std::string TenSpreadLine();
// 100000 blocks without channels.
std::string EmptyBlockSurvey();

// Seconds that `cat FILE > /dev/null` takes, the reference for a pass over a file.
double CatSeconds(const std::string& file);
