#pragma once

#include <string>

// The table's name: the measurement file's name with its extension replaced by
// `extension`. Only a "." after the last folder separator ("\", "/" or ":") starts an
// extension; a name without one gets the extension appended.
std::string TableFileName(const std::string& data_file_name, const std::string& extension = ".TXT");
