#include "vostrel_batch/file_runner.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <thread>

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

void Run(const std::string& file, const FileWork& work, FileResult& result) {
  try {
    work(file, result.output);
    return;
  } catch (const std::bad_alloc&) {
    result.output.err += file + ": Out of memory\n";
  } catch (const std::exception& error) {
    result.output.err += file + ": " + error.what() + "\n";
  }
  result.failed = true;
}

}  // namespace

int DefaultJobs() { return static_cast<int>(std::max(1u, std::thread::hardware_concurrency())); }

int ForEachFile(const std::vector<std::string>& files, int jobs, const FileWork& work) {
  std::vector<FileResult> results(files.size());
  std::atomic<size_t> next{0};
  std::mutex mutex;
  std::condition_variable finished;
  auto worker = [&] {
    for (size_t i = next++; i < files.size(); i = next++) {
      Run(files[i], work, results[i]);
      std::lock_guard lock(mutex);
      results[i].done = true;
      finished.notify_all();
    }
  };
  const size_t threads = std::min<size_t>(static_cast<size_t>(std::max(jobs, 1)), files.size());
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(worker);

  int status = 0;
  std::thread printer([&] {
    for (FileResult& result : results) {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return result.done; });
      lock.unlock();
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
