#include "vostrel_batch/json_output.h"

#include <cmath>

const std::vector<JsonKeyMeaning>& JsonKeys() {
#define VOSTREL_JSON_KEY_ENTRY(identifier, name, meaning) {name, meaning},
  static const std::vector<JsonKeyMeaning> keys = {VOSTREL_JSON_KEYS(VOSTREL_JSON_KEY_ENTRY)};
#undef VOSTREL_JSON_KEY_ENTRY
  return keys;
}

void SetNumber(Json& object, const char* key, double value, const std::string& why_null) {
  if (std::isfinite(value)) {
    object[key] = value;
    return;
  }
  object[key] = nullptr;
  object[json_key::WhyNull][key] = why_null;
}

namespace {

// Each object's reasons for its nulls after its values, where a reader looks for them.
Json ReasonsLast(const Json& value) {
  if (value.is_array()) {
    Json array = Json::array();
    for (const Json& item : value) array.push_back(ReasonsLast(item));
    return array;
  }
  if (!value.is_object()) return value;
  Json object = Json::object();
  for (const auto& [key, item] : value.items())
    if (key != json_key::WhyNull) object[key] = ReasonsLast(item);
  if (value.contains(json_key::WhyNull)) object[json_key::WhyNull] = value[json_key::WhyNull];
  return object;
}

}  // namespace

std::string JsonText(const Json& document) {
  return ReasonsLast(document).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string JsonElementText(const Json& element) {
  std::string text = JsonText(element);
  text.pop_back();
  std::string indented = "  ";
  for (char c : text) {
    indented += c;
    if (c == '\n') indented += "  ";
  }
  return indented;
}
