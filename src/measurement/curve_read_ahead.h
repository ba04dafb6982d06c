#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Reads the curves of a pass over all records on a second thread, a few curves ahead
// of the pass, so that reading record k + 1 overlaps processing record k on a machine
// with two cores. It reads with a handle of its own, in the order the pass will ask,
// and hands each curve over as the file holds it; the pass scales it as it goes. (The
// copy out of the page cache alone is as long as the processing, so the reader thread
// does nothing else.)
// A request out of that order ends the read-ahead and the loader reads for itself, so
// the results never depend on it.
class CurveReadAhead {
 public:
  // The curves of `samples` float32 each at `offsets`, in the order they will be asked for.
  CurveReadAhead(const std::string& file_name, std::vector<int64_t> offsets, size_t samples);
  ~CurveReadAhead();
  CurveReadAhead(const CurveReadAhead&) = delete;
  CurveReadAhead& operator=(const CurveReadAhead&) = delete;

  // When the next planned curve is the one at offset, swaps it into `samples` and
  // returns true; throws what reading it threw.
  bool Take(int64_t offset, std::vector<float>& samples);

  // Curves of at most this many bytes are read ahead: the pass keeps only a few of
  // them, and memory stays bounded by the curves of one record for any other file.
  static constexpr size_t MaxCurveBytes = 4 << 20;

 private:
  static constexpr size_t Slots = 4;
  struct Slot {
    std::vector<float> samples;
    std::exception_ptr error;
  };

  void Read();
  void Stop();

  const std::string file_name_;
  const std::vector<int64_t> offsets_;
  const size_t samples_;
  Slot slots_[Slots];
  size_t next_take_ = 0;  // index into offsets_ of the next curve handed over
  size_t read_ = 0;       // curves read so far
  bool stopping_ = false;
  bool failed_ = false;  // the plan was left: nothing more is handed over
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread reader_;
};
