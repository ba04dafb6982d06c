#include "line/text_file.h"

#include <cerrno>
#include <cstdio>

#include "line/line_error.h"
#include "measurement/in_out_error.h"
#include "platform/file_system.h"

std::string ReadText(const std::string& path) {
  errno = 0;
  std::FILE* file = platform::OpenFile(path, "rb");
  if (!file) throw LineFileError(path, InOutError::FromErrno(errno).what());
  std::string text;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file);
  const int error_number = errno;
  std::fclose(file);
  if (failed) throw LineFileError(path, InOutError::FromErrno(error_number).what());
  return text;
}
