// Channel values to JSON and back (see channel_json.h).
#include "standins/engine/channel_json.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <variant>

namespace standin {
namespace {

using flutter::EncodableValue;

EncodableValue Integer(int64_t number) {
  if (number >= std::numeric_limits<int32_t>::min() &&
      number <= std::numeric_limits<int32_t>::max()) {
    return EncodableValue(static_cast<int32_t>(number));
  }
  return EncodableValue(number);
}

bool FromJson(const Json& json, int depth, EncodableValue* value, std::string* error) {
  if (depth >= kMaxJsonDepth) {
    *error = "nesting deeper than " + std::to_string(kMaxJsonDepth) + " levels";
    return false;
  }
  switch (json.type()) {
    case Json::value_t::boolean:
      *value = EncodableValue(json.get<bool>());
      return true;
    case Json::value_t::number_integer:
      *value = Integer(json.get<int64_t>());
      return true;
    case Json::value_t::number_unsigned: {
      const uint64_t number = json.get<uint64_t>();
      *value = number <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                   ? Integer(static_cast<int64_t>(number))
                   : EncodableValue(static_cast<double>(number));
      return true;
    }
    case Json::value_t::number_float:
      *value = EncodableValue(json.get<double>());
      return true;
    case Json::value_t::string:
      *value = EncodableValue(json.get<std::string>());
      return true;
    case Json::value_t::array: {
      flutter::ValueList list(json.size());
      for (size_t i = 0; i < list.size(); ++i) {
        if (!FromJson(json[i], depth + 1, &list[i], error)) return false;
      }
      *value = EncodableValue(std::move(list));
      return true;
    }
    case Json::value_t::object: {
      flutter::ValueMap map;
      for (const auto& [key, member] : json.items()) {
        if (!FromJson(member, depth + 1, &map[EncodableValue(key)], error)) return false;
      }
      *value = EncodableValue(std::move(map));
      return true;
    }
    default:  // null; parsing yields no binary or discarded values
      *value = EncodableValue();
      return true;
  }
}

// The double whose shortest form is |number|'s own, so that 0.1f is written
// as 0.1 rather than 0.10000000149011612.
double Widened(float number) {
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, number).ptr;
  double wide = number;
  std::from_chars(text, end, wide);
  return wide;
}

std::string Dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void Write(const Json& json, std::string* out) {
  const char* separator = "";
  if (json.is_object()) {
    out->push_back('{');
    for (const auto& [key, member] : json.items()) {
      *out += separator + Dump(key) + ": ";
      Write(member, out);
      separator = ", ";
    }
    out->push_back('}');
  } else if (json.is_array()) {
    out->push_back('[');
    for (const auto& element : json) {
      *out += separator;
      Write(element, out);
      separator = ", ";
    }
    out->push_back(']');
  } else if (json.is_number_float() && !std::isfinite(json.get<double>())) {
    const double number = json.get<double>();
    *out += std::isnan(number) ? "NaN" : number < 0 ? "-Infinity" : "Infinity";
  } else {
    *out += Dump(json);
  }
}

}  // namespace

bool ParseJson(const std::string& text, EncodableValue* value, std::string* error) {
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& e) {
    // what() reads "[json.exception.parse_error.N] parse error at line L,
    // column C: WHY"; WHY and the byte position say it best on one line.
    const std::string what = e.what();
    const size_t why = what.find(": ");
    *error = (why == std::string::npos ? what : what.substr(why + 2)) + " at byte " +
             std::to_string(e.byte);
    return false;
  }
  return FromJson(json, 0, value, error);
}

Json ToJson(const EncodableValue& value) {
  return std::visit(
      [](const auto& content) -> Json {
        using T = std::decay_t<decltype(content)>;
        if constexpr (std::is_same_v<T, std::monostate> ||
                      std::is_same_v<T, flutter::CustomValue>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, std::vector<float>>) {
          Json array = Json::array();
          for (float number : content) array.push_back(Widened(number));
          return array;
        } else if constexpr (std::is_same_v<T, flutter::ValueList>) {
          Json array = Json::array();
          for (const auto& element : content) array.push_back(ToJson(element));
          return array;
        } else if constexpr (std::is_same_v<T, flutter::ValueMap>) {
          Json object = Json::object();
          for (const auto& [key, member] : content) {
            const auto* name = std::get_if<std::string>(&key);
            object[name ? *name : JsonLine(ToJson(key))] = ToJson(member);
          }
          return object;
        } else {
          // bool, integers, doubles, strings and the other typed arrays.
          return Json(content);
        }
      },
      static_cast<const flutter::EncodableVariant&>(value));
}

std::string JsonLine(const Json& json) {
  std::string line;
  Write(json, &line);
  return line;
}

}  // namespace standin
