#include "whole_file.h"

#include <cerrno>
#include <cstdio>

#include "measurement/in_out_error.h"

std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) throw InOutError::FromErrno(errno);
  std::vector<unsigned char> bytes;
  unsigned char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

void WriteWholeFile(const std::string& path, std::span<const unsigned char> bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw InOutError::FromErrno(errno);
  size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  bool closed = std::fclose(file) == 0;
  if (written != bytes.size() || !closed) throw InOutError::FromErrno(errno ? errno : EIO);
}
