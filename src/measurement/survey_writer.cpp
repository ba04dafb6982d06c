#include "measurement/survey_writer.h"

#include <cerrno>
#include <limits>

#include "measurement/file_format.h"
#include "measurement/in_out_error.h"
#include "platform/file_system.h"

int64_t SurveyHeader::SamplesPerCurve() const {
  return file_format::SamplesPerCurve(half_period, second_length, period_count);
}

SurveyWriter::SurveyWriter(const std::string& path) {
  errno = 0;
  file_ = platform::OpenFile(path, "wb");
  if (!file_) throw InOutError::FromErrno(errno);
}

SurveyWriter::~SurveyWriter() {
  if (file_) std::fclose(file_);
}

void SurveyWriter::Raw(const void* data, size_t size) {
  FlushZeros();
  if (size && std::fwrite(data, 1, size, file_) != size) throw InOutError::FromErrno(errno ? errno : EIO);
}

void SurveyWriter::FlushZeros() {
  if (pending_zeros_ == 0) return;
  int64_t count = pending_zeros_;
  pending_zeros_ = 0;
  if (!platform::Seek(file_, count, SEEK_CUR)) throw InOutError::FromErrno(errno);
}

void SurveyWriter::Zeros(int64_t count) { pending_zeros_ += count; }

void SurveyWriter::Int32(int32_t value) {
  unsigned char bytes[4];
  file_format::EncodeInt32(bytes, value);
  Raw(bytes, sizeof bytes);
}

void SurveyWriter::Floats(std::span<const float> values) { Raw(values.data(), values.size_bytes()); }

void SurveyWriter::Header(const SurveyHeader& header) {
  std::vector<unsigned char> prefix(file_format::HeaderOffset, 0);
  Raw(prefix.data(), prefix.size());
  Int32(header.sample_rate);
  Int32(header.half_period);
  Int32(header.second_length);
  Int32(header.period_count);
  // Under a header no reader accepts, an empty curve is written as no bytes at all.
  int64_t samples = header.SamplesPerCurve();
  samples_per_curve_ = samples >= 0 && samples <= std::numeric_limits<int32_t>::max() / 4 ? samples : 0;
}

void SurveyWriter::Electrodes(std::span<const float> coordinates) {
  Int32(static_cast<int32_t>(coordinates.size()));
  for (float coordinate : coordinates) {
    Int32(0);
    Floats({&coordinate, 1});
    Int32(0);
    Int32(0);
  }
}

void SurveyWriter::Block(int32_t a, int32_t b, std::span<const float> current, std::span<const ChannelCurve> channels) {
  auto curve = [this](std::span<const float> samples) {
    if (samples.empty())
      Zeros(4 * samples_per_curve_);
    else
      Floats(samples);
  };
  Int32(a);
  Int32(b);
  Int32(static_cast<int32_t>(channels.size()));
  curve(current);
  for (const ChannelCurve& channel : channels) {
    Zeros(file_format::ChannelHeaderSize);
    Int32(channel.m);
    Int32(channel.n);
    curve(channel.voltage);
  }
}

void SurveyWriter::Close() {
  if (!file_) return;
  // A trailing hole still has to count in the file's size.
  if (pending_zeros_ > 0) {
    pending_zeros_ -= 1;
    unsigned char zero = 0;
    Raw(&zero, 1);
  }
  std::FILE* file = file_;
  file_ = nullptr;
  if (std::fclose(file) != 0) throw InOutError::FromErrno(errno ? errno : EIO);
}
