#include "measurement/curve_read_ahead.h"

#include <cstdio>
#include <utility>

#include "measurement/data_file.h"
#include "measurement/in_out_error.h"

CurveReadAhead::CurveReadAhead(const std::string& file_name, std::vector<int64_t> offsets, size_t samples)
    : file_name_(file_name), offsets_(std::move(offsets)), samples_(samples) {
  reader_ = std::thread([this] { Read(); });
}

CurveReadAhead::~CurveReadAhead() { Stop(); }

void CurveReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void CurveReadAhead::Read() {
  DataFile file;
  try {
    file.Open(file_name_);
  } catch (...) {
    // Without a handle of its own the pass reads for itself, and meets any fault there.
    std::lock_guard lock(mutex_);
    failed_ = true;
    return;
  }
  std::vector<float> buffer;
  for (size_t i = 0; i < offsets_.size(); ++i) {
    std::exception_ptr error;
    try {
      buffer.resize(samples_);
      file.Seek(offsets_[i]);
      file.ReadExact(buffer.data(), buffer.size() * sizeof(float));
    } catch (...) {
      error = std::current_exception();
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || read_ - next_take_ < Slots; });
    if (stopping_) return;
    Slot& slot = slots_[read_ % Slots];
    std::swap(slot.samples, buffer);
    slot.error = error;
    ++read_;
    lock.unlock();
    changed_.notify_all();
  }
}

bool CurveReadAhead::Take(int64_t offset, std::vector<float>& samples) {
  std::unique_lock lock(mutex_);
  if (failed_ || next_take_ >= offsets_.size() || offsets_[next_take_] != offset || samples.size() != samples_) {
    failed_ = true;
    return false;
  }
  changed_.wait(lock, [&] { return read_ > next_take_ || failed_; });
  if (failed_) return false;
  Slot& slot = slots_[next_take_ % Slots];
  ++next_take_;
  std::exception_ptr error = std::exchange(slot.error, nullptr);
  if (!error) std::swap(slot.samples, samples);
  lock.unlock();
  changed_.notify_all();
  if (error) std::rethrow_exception(error);
  return true;
}
