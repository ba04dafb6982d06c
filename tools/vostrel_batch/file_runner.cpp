#include "vostrel_batch/file_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

#include "platform/file_system.h"

void FileOutput::Print(const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  int length = std::vsnprintf(nullptr, 0, format, arguments);
  va_end(arguments);
  if (length > 0) {
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    text.pop_back();
    out += text;
  }
  va_end(again);
}

namespace {

struct FileResult {
  FileOutput output;
  bool failed = false;
  bool done = false;
};

void Run(const std::string& file, const FileRun& run, const FileWork& work, const Progress& progress,
         FileResult& result) {
  std::string failure;
  try {
    work(file, result.output, progress);
    return;
  } catch (const std::bad_alloc&) {
    failure = file + ": Out of memory";
  } catch (const OtherFileError& error) {
    failure = error.what();
  } catch (const std::exception& error) {
    failure = file + ": " + error.what();
  }
  result.output.err += failure + "\n";
  if (run.failed_output && result.output.out.empty()) result.output.out = run.failed_output(file, failure);
  result.failed = true;
}

}  // namespace

namespace {

std::atomic<bool> progress_line_open{false};
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

// A file that failed or stopped part-way leaves its progress line: it is cleared before
// anything else is printed.
void ClearProgressLine() {
  if (progress_line_open.exchange(false)) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace

bool ProgressLineOpen() { return progress_line_open.load(); }

Progress TerminalProgress(const std::string& name, bool quiet) {
  if (quiet || !platform::StandardErrorIsTerminal()) return {};
  return [name, last = -1](int done, int total) mutable {
    const int percent = total > 0 ? static_cast<int>(int64_t{done} * 100 / total) : 100;
    if (percent == last) return;
    last = percent;
    std::fprintf(stderr, "\r%s: %3d%%%s", name.c_str(), percent, done >= total ? "\r\033[K" : "");
    std::fflush(stderr);
    progress_line_open = done < total;
  };
}

int ForEachFile(const std::vector<std::string>& files, const FileRun& run, const FileWork& work) {
  std::vector<FileResult> results(files.size());
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::mutex printing;  // one file's output, or a line of progress, at a time
  std::condition_variable finished;
  const bool one = files.size() == 1;
  const bool watched = !run.quiet && platform::StandardErrorIsTerminal();
  size_t finished_count = 0;
  auto worker = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      Run(files[i], run, work, one ? TerminalProgress(files[i], run.quiet) : Progress{}, results[i]);
      if (one) ClearProgressLine();
      std::unique_lock lock(mutex);
      results[i].done = true;
      const size_t count = ++finished_count;
      finished.notify_all();
      lock.unlock();
      if (watched && !one) {
        std::lock_guard print(printing);
        std::fprintf(stderr, "[%zu/%zu] %s %s\n", count, files.size(), files[i].c_str(),
                     results[i].failed ? "failed" : "done");
      }
    }
  };
  const size_t threads = std::min<size_t>(static_cast<size_t>(std::max(run.jobs, 1)), files.size());
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(worker);

  int status = 0;
  std::thread printer([&] {
    for (size_t i = 0; i < results.size(); ++i) {
      FileResult& result = results[i];
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return result.done; });
      lock.unlock();
      std::lock_guard print(printing);
      if (i > 0) std::fputs(run.between.c_str(), stdout);
      std::fputs(result.output.out.c_str(), stdout);
      std::fflush(stdout);
      std::fputs(result.output.err.c_str(), stderr);
      if (result.failed) status = 1;
    }
  });
  worker();  // this thread works too
  for (std::thread& thread : pool) thread.join();
  printer.join();
  return status;
}
