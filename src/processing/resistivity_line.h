#pragma once

#include <string>
#include <string_view>

#include "geometry/apparent_resistivity.h"

// "K=-94.248  R=0.36712  rhoa=34.600": the record's geometric factor, transfer
// resistance and apparent resistivity by the window's number rule.
std::string ResistivityLine(const Resistivity& resistivity, std::string_view decimal_separator = ".");
