#include "measurement/block_read_ahead.h"

#include <algorithm>
#include <utility>

#include "measurement/data_file.h"

BlockReadAhead::BlockReadAhead(const std::string& file_name, std::vector<Range> plan, Observer observer, size_t readers)
    : file_name_(file_name),
      plan_(std::move(plan)),
      observer_(std::move(observer)),
      readers_count_(std::min(readers, MaxReaders)) {
  for (size_t r = 0; r < readers_count_; ++r) readers_[r] = std::thread([this, r] { Read(r); });
}

BlockReadAhead::~BlockReadAhead() { Stop(); }

void BlockReadAhead::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  for (std::thread& reader : readers_)
    if (reader.joinable()) reader.join();
}

void BlockReadAhead::Read(size_t first) {
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
  Bytes buffer;
  for (size_t i = first; i < plan_.size(); i += readers_count_) {
    {
      // Block i takes the slot of block i - Slots once that one is handed over.
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || failed_ || i < next_take_ + Slots; });
      if (stopping_ || failed_) return;
    }
    bool read = false;
    try {
      buffer.Resize(static_cast<size_t>(plan_[i].end - plan_[i].start));
      file.Seek(plan_[i].start);
      file.ReadExact(buffer.data.get(), buffer.size);
      read = true;
    } catch (...) {
      // The loader reads this block's curves for itself and meets the fault where it lies.
    }
    {
      std::lock_guard lock(mutex_);
      Slot& slot = slots_[i % Slots];
      std::swap(slot.bytes, buffer);
      slot.block = i;
      slot.read = read;
    }
    changed_.notify_all();
    if (!read) return;
  }
}

void BlockReadAhead::Bytes::Resize(size_t count) {
  if (count > capacity) {
    data = std::make_unique_for_overwrite<unsigned char[]>(count);
    capacity = count;
  }
  size = count;
}

bool BlockReadAhead::ReadOnTheSpot(size_t block) {
  try {
    if (!own_file_) {
      own_file_ = std::make_unique<DataFile>();
      own_file_->Open(file_name_);
    }
    in_hand_.Resize(static_cast<size_t>(plan_[block].end - plan_[block].start));
    own_file_->Seek(plan_[block].start);
    own_file_->ReadExact(in_hand_.data.get(), in_hand_.size);
  } catch (...) {
    // The loader reads this block's curves for itself and meets the fault where it lies.
    in_hand_.size = 0;
    return false;
  }
  in_hand_range_ = plan_[block];
  next_take_ = block + 1;
  if (observer_) observer_(in_hand_range_, in_hand_.data.get());
  return true;
}

bool BlockReadAhead::InHand(int64_t offset, size_t count) const {
  return offset >= in_hand_range_.start && offset <= in_hand_range_.end &&
         count <= static_cast<uint64_t>(in_hand_range_.end - offset);
}

const unsigned char* BlockReadAhead::Take(int64_t offset, size_t count) {
  if (!InHand(offset, count) || in_hand_.size == 0) {
    std::unique_lock lock(mutex_);
    const bool planned = next_take_ < plan_.size() && offset >= plan_[next_take_].start &&
                         offset <= plan_[next_take_].end &&
                         count <= static_cast<uint64_t>(plan_[next_take_].end - offset);
    if (failed_ || !planned) {
      failed_ = true;
      return nullptr;
    }
    if (readers_count_ == 0) {
      lock.unlock();
      if (ReadOnTheSpot(next_take_)) return in_hand_.data.get() + (offset - in_hand_range_.start);
      failed_ = true;
      return nullptr;
    }
    Slot& slot = slots_[next_take_ % Slots];
    changed_.wait(lock, [&] { return slot.block == next_take_ || failed_; });
    if (failed_) return nullptr;
    in_hand_range_ = plan_[next_take_];
    ++next_take_;
    std::swap(slot.bytes, in_hand_);
    slot.block = NoBlock;
    const bool read = slot.read;
    lock.unlock();
    changed_.notify_all();
    if (!read) {
      std::lock_guard again(mutex_);
      failed_ = true;
      in_hand_.size = 0;
      return nullptr;
    }
    if (observer_) observer_(in_hand_range_, in_hand_.data.get());
  }
  return in_hand_.data.get() + (offset - in_hand_range_.start);
}
