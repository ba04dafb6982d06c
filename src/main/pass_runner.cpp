#include "main/pass_runner.h"

PassRunner::PassRunner(QObject* parent) : QObject(parent) {
  timer_.setInterval(TickMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
}

PassRunner::~PassRunner() {
  cancel_ = true;
  Join();
}

void PassRunner::Start(SharedSurvey survey, Work work) {
  if (running_) return;
  survey_ = std::move(survey);
  done_ = 0;
  total_ = survey_->RecordCount;
  cancel_ = false;
  finished_ = false;
  failure_ = nullptr;
  running_ = true;
  thread_ = std::thread([this, work = std::move(work)] {
    try {
      work(*survey_, [this](int done, int total) {
        done_ = done;
        total_ = total;
        if (cancel_) throw PassCancelled();
      });
    } catch (const PassCancelled&) {
    } catch (...) {
      failure_ = std::current_exception();
    }
    finished_ = true;
  });
  timer_.start();
}

void PassRunner::Join() {
  if (thread_.joinable()) thread_.join();
}

void PassRunner::Tick() {
  if (!running_) return;
  emit Ticked(done_, total_);
  if (!finished_) return;
  timer_.stop();
  Join();
  running_ = false;
  QString failure;
  if (failure_) {
    try {
      std::rethrow_exception(failure_);
    } catch (const std::exception& error) {
      failure = QString::fromUtf8(error.what());
    } catch (...) {
      failure = "Unknown error";
    }
  }
  emit Finished(failure, cancel_ && !failure_);
}
