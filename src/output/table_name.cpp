#include "output/table_name.h"

std::string TableFileName(const std::string& data_file_name, const std::string& extension) {
  size_t separator = data_file_name.find_last_of("\\/:");
  size_t dot = data_file_name.rfind('.');
  bool has_extension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
  return (has_extension ? data_file_name.substr(0, dot) : data_file_name) + extension;
}
