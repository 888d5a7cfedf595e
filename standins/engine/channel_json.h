// JSON as the scripted session uses it: arguments read from a session line
// into channel values, and channel values written into transcript lines.
//
// Reading: null, true/false, integers (32-bit when they fit, else 64-bit;
// beyond 64 bits a double), other numbers as doubles, strings, arrays as
// lists, objects as maps with string keys (a repeated key keeps its last
// value). Nesting deeper than kMaxJsonDepth is refused.
//
// Writing: byte, integer, float and double arrays become JSON arrays (a float
// keeps its own shortest form); map keys that are not strings are written as
// their own JSON text; custom values as null.
#ifndef ORVA_STANDINS_ENGINE_CHANNEL_JSON_H_
#define ORVA_STANDINS_ENGINE_CHANNEL_JSON_H_

#include <string>

#include <nlohmann/json.hpp>

#include "codec/encodable_value.h"

namespace standin {

// Objects keep the order their members were added in.
using Json = nlohmann::ordered_json;

constexpr int kMaxJsonDepth = 128;

// Parses |text|, which must hold exactly one JSON value (blanks around it
// allowed). On failure returns false and sets |error| to what is wrong and
// where (a byte position).
bool ParseJson(const std::string& text, flutter::EncodableValue* value, std::string* error);

Json ToJson(const flutter::EncodableValue& value);

// |json| on one line, with ", " between members and elements and ": " after
// every key. Strings are escaped (non-ASCII UTF-8 kept as it is, invalid
// bytes replaced by U+FFFD); doubles take their shortest round-trip form with
// ".0" added when they would read as integers; non-finite ones are written
// as NaN, Infinity and -Infinity.
std::string JsonLine(const Json& json);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_CHANNEL_JSON_H_
