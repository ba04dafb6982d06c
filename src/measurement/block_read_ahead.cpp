#include "measurement/block_read_ahead.h"

#include <utility>

#include "measurement/data_file.h"

BlockReadAhead::BlockReadAhead(const std::string& file_name, std::vector<Range> plan, Observer observer)
    : file_name_(file_name), plan_(std::move(plan)), observer_(std::move(observer)) {
  reader_ = std::thread([this] { Read(); });
}

BlockReadAhead::~BlockReadAhead() { Stop(); }

void BlockReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void BlockReadAhead::Read() {
  DataFile file;
  try {
    file.Open(file_name_);
  } catch (...) {
    // Without a handle of its own the pass reads for itself, and meets any fault there.
    std::lock_guard lock(mutex_);
    failed_ = true;
    changed_.notify_all();
    return;
  }
  std::vector<unsigned char> buffer;
  for (size_t i = 0; i < plan_.size(); ++i) {
    bool read = false;
    try {
      buffer.resize(static_cast<size_t>(plan_[i].end - plan_[i].start));
      file.Seek(plan_[i].start);
      file.ReadExact(buffer.data(), buffer.size());
      read = true;
    } catch (...) {
      // The loader reads this block's curves for itself and meets the fault where it lies.
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || read_ - next_take_ < Slots; });
    if (stopping_) return;
    Slot& slot = slots_[read_ % Slots];
    std::swap(slot.bytes, buffer);
    slot.read = read;
    ++read_;
    lock.unlock();
    changed_.notify_all();
    if (!read) return;
  }
}

bool BlockReadAhead::InHand(int64_t offset, size_t count) const {
  return offset >= in_hand_range_.start && offset <= in_hand_range_.end &&
         count <= static_cast<uint64_t>(in_hand_range_.end - offset);
}

const unsigned char* BlockReadAhead::Take(int64_t offset, size_t count) {
  if (!InHand(offset, count) || in_hand_.empty()) {
    std::unique_lock lock(mutex_);
    const bool planned = next_take_ < plan_.size() && offset >= plan_[next_take_].start &&
                         offset <= plan_[next_take_].end &&
                         count <= static_cast<uint64_t>(plan_[next_take_].end - offset);
    if (failed_ || !planned) {
      failed_ = true;
      return nullptr;
    }
    changed_.wait(lock, [&] { return read_ > next_take_ || failed_; });
    if (failed_) return nullptr;
    Slot& slot = slots_[next_take_ % Slots];
    in_hand_range_ = plan_[next_take_];
    ++next_take_;
    std::swap(slot.bytes, in_hand_);
    const bool read = slot.read;
    lock.unlock();
    changed_.notify_all();
    if (!read) {
      std::lock_guard again(mutex_);
      failed_ = true;
      in_hand_.clear();
      return nullptr;
    }
    if (observer_) observer_(in_hand_range_, in_hand_.data());
  }
  return in_hand_.data() + (offset - in_hand_range_.start);
}
