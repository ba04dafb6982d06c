#include "test_support.h"

#include <unistd.h>

#include <atomic>
#include <cstring>

#include "measurement/file_format.h"
#include "whole_file.h"

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vostrel-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::unique_ptr<Vari> FreshVari(const std::string& data_file_name) {
  auto v = std::make_unique<Vari>();
  auto survey = std::make_shared<Survey>();
  survey->DataFileName = data_file_name;
  v->survey = std::move(survey);
  return v;
}

IndexReport OpenSurvey(Vari& v) { return OpenSurvey(v, v.survey->DataFileName); }

void TestSurvey::Write(const std::string& path) const {
  SurveyWriter writer(path);
  writer.Header(header);
  writer.Electrodes(electrodes);
  for (const TestBlock& block : blocks) {
    std::vector<ChannelCurve> curves;
    for (const TestChannel& channel : block.channels) curves.push_back({channel.m, channel.n, channel.voltage});
    writer.Block(block.a, block.b, block.current, curves);
  }
  writer.Close();
}

TestBlock SimpleBlock(int channels) {
  TestBlock block;
  block.channels.resize(static_cast<size_t>(channels));
  return block;
}

void PatchInt32(const std::string& path, int64_t offset, int32_t value) {
  auto bytes = ReadWholeFile(path);
  file_format::EncodeInt32(bytes.data() + offset, value);
  WriteWholeFile(path, bytes);
}

void WriteSurveyFloat(const std::string& path, int64_t offset, float value) {
  auto bytes = ReadWholeFile(path);
  std::memcpy(bytes.data() + offset, &value, sizeof value);  // the file is little-endian, as this machine
  WriteWholeFile(path, bytes);
}

void Truncate(const std::string& path, int64_t size) {
  std::filesystem::resize_file(path, static_cast<uintmax_t>(size));
}

SynthOptions LineSpread() {
  SynthOptions options;
  options.blocks = 6;
  options.channels = 2;
  options.electrodes = 12;
  options.spacing_m = 5;
  options.period_count = 1;
  return options;
}
