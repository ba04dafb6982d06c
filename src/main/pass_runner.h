#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "measurement/survey.h"
#include "processing/record_pass.h"

// Runs a pass over all records (an export, the file check) on a thread of its own,
// over the open survey, shared, so that the window keeps drawing and answering while
// a slow stick is read. Ticks and the end are reported on the window's thread.
class PassRunner : public QObject {
  Q_OBJECT

 public:
  using Work = std::function<void(const Survey& survey, const Progress& progress)>;

  explicit PassRunner(QObject* parent = nullptr);
  ~PassRunner() override;

  // Starts work over `survey`; one pass at a time.
  void Start(SharedSurvey survey, Work work);
  // The pass stops at its next record and finishes without a failure.
  void Cancel() { cancel_ = true; }
  bool Running() const { return running_; }

  static constexpr int TickMs = 20;

 signals:
  // Every TickMs while the pass runs, with the records done so far.
  void Ticked(int done, int total);
  // Once at the end: the failure's text, or empty when the pass was done or cancelled.
  void Finished(const QString& failure, bool cancelled);

 private:
  void Tick();
  void Join();

  SharedSurvey survey_;
  std::thread thread_;
  std::atomic<int> done_{0}, total_{0};
  std::atomic<bool> cancel_{false}, finished_{false};
  std::exception_ptr failure_;
  bool running_ = false;
  QTimer timer_;
};
