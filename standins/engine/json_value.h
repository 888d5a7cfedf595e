// JSON text to message values and back, as the scripted session uses them.
//
// Reading: null, true/false, integers (32-bit when they fit, else 64-bit;
// beyond 64 bits a double), other numbers as doubles, strings with every
// JSON escape including \uXXXX and surrogate pairs, arrays as lists, objects
// as maps with string keys (a repeated key keeps its last value). Nesting
// deeper than kMaxJsonDepth is refused rather than risking the stack.
//
// Writing: one blank after every colon and after every comma between
// members; strings escaped (", \, \n, \r, \t, other control characters as
// \u00XX, non-ASCII UTF-8 kept as it is, invalid UTF-8 bytes replaced by
// U+FFFD); doubles in their shortest round-trip form with ".0" added when it
// would otherwise read as an integer (non-finite ones as NaN, Infinity,
// -Infinity); byte, integer, float and double arrays as JSON arrays; map keys
// that are not strings as their own JSON text in quotes; custom values as
// null.
#ifndef ORVA_STANDINS_ENGINE_JSON_VALUE_H_
#define ORVA_STANDINS_ENGINE_JSON_VALUE_H_

#include <string>

#include "codec/encodable_value.h"

namespace standin {

constexpr int kMaxJsonDepth = 128;

// Parses |text|, which must hold exactly one JSON value (blanks around it
// allowed). On failure returns false and sets |error| to what is wrong and
// where (a byte offset).
bool ParseJson(const std::string& text, flutter::EncodableValue* value, std::string* error);

// Appends |value| as JSON to |out|.
void WriteJson(const flutter::EncodableValue& value, std::string* out);
std::string ToJson(const flutter::EncodableValue& value);
// |text| as a quoted, escaped JSON string.
std::string JsonString(const std::string& text);

}  // namespace standin

#endif  // ORVA_STANDINS_ENGINE_JSON_VALUE_H_
