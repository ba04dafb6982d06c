#include "processing/record_pass.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <thread>

#include "measurement/record_loader.h"

namespace {

// A second core for the chargeability, the heavy part of a record: it takes records'
// pauses from a short queue while the pass reads and evaluates the next ones.
class ChargeabilityHelper {
 public:
  ChargeabilityHelper() : thread_([this] { Run(); }) {}
  ~ChargeabilityHelper() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ChargeabilityHelper(const ChargeabilityHelper&) = delete;
  ChargeabilityHelper& operator=(const ChargeabilityHelper&) = delete;

  size_t Waiting() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
  }

  std::future<Chargeability> Submit(std::packaged_task<Chargeability()> task) {
    std::future<Chargeability> result = task.get_future();
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    changed_.notify_all();
    return result;
  }

 private:
  void Run() {
    for (;;) {
      std::packaged_task<Chargeability()> task;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
        if (stopping_) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::packaged_task<Chargeability()>> tasks_;
  bool stopping_ = false;
  std::thread thread_;
};

// Rows whose chargeability may still be under way, given in order as they are done.
constexpr size_t MaxPendingRows = 8;
constexpr size_t MaxHelperQueue = 2;

struct PendingRow {
  RecordRow row;
  std::optional<std::future<Chargeability>> ip;

  bool Ready() const { return !ip || ip->wait_for(std::chrono::seconds(0)) == std::future_status::ready; }
};

// A pass over every record on two workspaces at once, block by block in turn, each
// reading its own blocks ahead: copying the file out of the system's cache and
// evaluating its records share both cores. The rows are given on the pass's thread in
// file order, and a record that cannot be read ends the pass after the rows before it,
// as one workspace would.
class BlockWorkers {
 public:
  BlockWorkers(const Survey& survey, std::function<RecordRow(Workspace&, int)> evaluate)
      : survey_(survey), evaluate_(std::move(evaluate)) {
    int64_t current = -1;
    for (int k = 1; k <= survey.RecordCount; ++k)
      if (survey.RecordIndex[static_cast<size_t>(k)].CurrentOffset != current) {
        current = survey.RecordIndex[static_cast<size_t>(k)].CurrentOffset;
        starts_.push_back(k);
      }
    starts_.push_back(survey.RecordCount + 1);
    for (size_t w = 0; w < Workers; ++w) threads_[w] = std::thread([this, w] { Work(w); });
  }
  ~BlockWorkers() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }
  BlockWorkers(const BlockWorkers&) = delete;
  BlockWorkers& operator=(const BlockWorkers&) = delete;

  // Gives every row in file order, or rethrows the first failure in file order.
  void GiveAll(const std::function<void(const RecordRow&)>& give) {
    for (size_t b = 0; b + 1 < starts_.size(); ++b) {
      std::deque<Block>& queue = queues_[b % Workers];
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !queue.empty(); });
      Block block = std::move(queue.front());
      queue.pop_front();
      lock.unlock();
      changed_.notify_all();
      for (const RecordRow& row : block.rows) give(row);
      if (block.failure) std::rethrow_exception(block.failure);
    }
  }

  static constexpr size_t Workers = 2;

 private:
  static constexpr size_t MaxQueuedBlocks = 2;  // per workspace

  // A block's rows, all of them or those before the failure that ends the workspace's work.
  struct Block {
    std::vector<RecordRow> rows;
    std::exception_ptr failure;
  };

  void Work(size_t w) {
    std::deque<Block>& queue = queues_[w];
    Block block;
    try {
      Workspace work;
      DataFileSession session(work.DataFile, survey_.DataFileName);
      PassReadAhead read_ahead(survey_, work, {}, PassShare{w, Workers});
      for (size_t b = w; b + 1 < starts_.size(); b += Workers) {
        for (int k = starts_[b]; k < starts_[b + 1]; ++k) block.rows.push_back(evaluate_(work, k));
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || queue.size() < MaxQueuedBlocks; });
        if (stopping_) return;
        queue.push_back(std::move(block));
        block = {};
        lock.unlock();
        changed_.notify_all();
      }
    } catch (...) {
      block.failure = std::current_exception();
      std::lock_guard lock(mutex_);
      queue.push_back(std::move(block));
    }
    changed_.notify_all();
  }

  const Survey& survey_;
  const std::function<RecordRow(Workspace&, int)> evaluate_;
  std::vector<int> starts_;  // each block's first record, and one past the last record
  std::deque<Block> queues_[Workers];
  bool stopping_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread threads_[Workers];
};

}  // namespace

void RecordPass(const Survey& survey, const PassOptions& options, const RowConsumer& on_row, const Progress& progress) {
  const bool every_record = options.records.empty();
  const int total = every_record ? survey.RecordCount : static_cast<int>(options.records.size());
  auto record_at = [&](int i) { return every_record ? i + 1 : options.records[static_cast<size_t>(i)]; };

  Workspace work;
  DataFileSession session(work.DataFile, survey.DataFileName);
  // Every record goes on two workspaces at once, each evaluating its records whole; a
  // file's stamp is hashed from the blocks in file order, on one.
  const bool on_workers = every_record && !options.blocks_read &&
                          std::thread::hardware_concurrency() >= BlockWorkers::Workers &&
                          PassBlocks(survey).size() >= BlockWorkers::Workers;
  std::optional<PassReadAhead> read_ahead;
  if (every_record && !on_workers) read_ahead.emplace(survey, work, options.blocks_read);

  int done = 0;
  auto give = [&](const RecordRow& row) {
    on_row(row);
    ++done;
    if (progress) progress(done, total);
  };

  auto evaluate_in = [&](Workspace& in, int k, const IpSettings* ip) {
    RecordRow row;
    row.k = k;
    std::shared_ptr<RecordDrawing> drawing;
    if (options.drawing) drawing = std::make_shared<RecordDrawing>();
    row.evaluation = EvaluateRecord(survey, in, k, options.record, ip, drawing.get());
    row.entry = survey.RecordIndex[static_cast<size_t>(k)];
    row.drawing = std::move(drawing);
    return row;
  };
  auto evaluate = [&](int k, const IpSettings* ip) { return evaluate_in(work, k, ip); };

  if (!options.ip) {
    if (on_workers) {
      BlockWorkers workers(survey, [&](Workspace& in, int k) { return evaluate_in(in, k, nullptr); });
      workers.GiveAll(give);
      return;
    }
    for (int i = 0; i < total; ++i) give(evaluate(record_at(i), nullptr));
    return;
  }

  IpSettings ip = *options.ip;
  ip.gates = GatesFor(survey, ip);
  std::shared_ptr<const DecayModel> decay;  // from the first record's current curve
  if (on_workers) {
    if (ip.decay_fit) {
      LoadCurrentSamples(survey, work, record_at(0));
      decay = DecayModelFor(survey, work.CurrentSamples, ip.gates);
    }
    BlockWorkers workers(survey, [&](Workspace& in, int k) {
      RecordRow row = evaluate_in(in, k, nullptr);
      const RecordVpValue vp = RecordVp(survey, in, row.evaluation.signed_mean_du, ip);
      row.evaluation.ip =
          CurveChargeability(survey, in.VoltageSamples, vp, ip.gates, ip.cleaning, options.decay_curve, decay.get());
      return row;
    });
    workers.GiveAll(give);
    return;
  }

  // The chargeability of a record needs only its voltage curve and its mean dU: the
  // helper computes it from a copy while the pass goes on.
  ChargeabilityHelper helper;
  std::deque<PendingRow> pending;
  // The row leaves the queue before it is given: a consumer or a progress that stops the
  // pass must not see it, or its spent chargeability, a second time.
  auto give_front = [&] {
    PendingRow front = std::move(pending.front());
    pending.pop_front();
    if (front.ip) front.row.evaluation.ip = front.ip->get();
    give(front.row);
  };
  try {
    for (int i = 0; i < total; ++i) {
      PendingRow next{evaluate(record_at(i), nullptr), std::nullopt};
      const RecordVpValue vp = RecordVp(survey, work, next.row.evaluation.signed_mean_du, ip);
      if (ip.decay_fit && !decay) decay = DecayModelFor(survey, work.CurrentSamples, ip.gates);
      if (helper.Waiting() < MaxHelperQueue) {
        next.ip = helper.Submit(std::packaged_task<Chargeability()>([&, vp, decay, voltage = work.VoltageSamples] {
          return CurveChargeability(survey, voltage, vp, ip.gates, ip.cleaning, options.decay_curve, decay.get());
        }));
      } else {
        next.row.evaluation.ip = CurveChargeability(survey, work.VoltageSamples, vp, ip.gates, ip.cleaning,
                                                    options.decay_curve, decay.get());
      }
      pending.push_back(std::move(next));
      while (!pending.empty() && (pending.size() > MaxPendingRows || pending.front().Ready())) give_front();
    }
  } catch (const PassCancelled&) {
    throw;  // a stop given after a row: nothing more is given
  } catch (...) {
    // The rows before a failure are given, as a pass without the helper gives them.
    std::exception_ptr failure = std::current_exception();
    while (!pending.empty()) give_front();
    std::rethrow_exception(failure);
  }
  while (!pending.empty()) give_front();
}
