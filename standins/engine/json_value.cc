// JSON reading and writing for the scripted session (see json_value.h).
#include "standins/engine/json_value.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace standin {
namespace {

using flutter::EncodableValue;

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  bool ParseDocument(EncodableValue* value, std::string* error) {
    SkipBlanks();
    if (!ParseValue(value, 0)) {
      *error = error_;
      return false;
    }
    SkipBlanks();
    if (pos_ != text_.size()) {
      Fail("unexpected text after the value");
      *error = error_;
      return false;
    }
    return true;
  }

 private:
  bool Fail(const std::string& what) {
    if (error_.empty()) error_ = what + " at offset " + std::to_string(pos_);
    return false;
  }

  void SkipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }

  bool Literal(const char* word) {
    const std::string expected(word);
    if (text_.compare(pos_, expected.size(), expected) != 0) return Fail("invalid literal");
    pos_ += expected.size();
    return true;
  }

  bool ParseValue(EncodableValue* value, int depth) {
    if (depth >= kMaxJsonDepth) return Fail("nesting too deep");
    if (pos_ >= text_.size()) return Fail("missing value");
    switch (text_[pos_]) {
      case 'n':
        *value = EncodableValue();
        return Literal("null");
      case 't':
        *value = EncodableValue(true);
        return Literal("true");
      case 'f':
        *value = EncodableValue(false);
        return Literal("false");
      case '"': {
        std::string text;
        if (!ParseString(&text)) return false;
        *value = EncodableValue(std::move(text));
        return true;
      }
      case '[':
        return ParseArray(value, depth);
      case '{':
        return ParseObject(value, depth);
      default:
        return ParseNumber(value);
    }
  }

  bool ParseArray(EncodableValue* value, int depth) {
    ++pos_;  // [
    flutter::ValueList list;
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == ']') {
      ++pos_;
      *value = EncodableValue(std::move(list));
      return true;
    }
    for (;;) {
      SkipBlanks();
      EncodableValue element;
      if (!ParseValue(&element, depth + 1)) return false;
      list.push_back(std::move(element));
      SkipBlanks();
      if (pos_ >= text_.size()) return Fail("unterminated array");
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (text_[pos_] != ']') return Fail("expected ',' or ']'");
      ++pos_;
      *value = EncodableValue(std::move(list));
      return true;
    }
  }

  bool ParseObject(EncodableValue* value, int depth) {
    ++pos_;  // {
    flutter::ValueMap map;
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == '}') {
      ++pos_;
      *value = EncodableValue(std::move(map));
      return true;
    }
    for (;;) {
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a string key");
      std::string key;
      if (!ParseString(&key)) return false;
      SkipBlanks();
      if (pos_ >= text_.size() || text_[pos_] != ':') return Fail("expected ':'");
      ++pos_;
      SkipBlanks();
      EncodableValue member;
      if (!ParseValue(&member, depth + 1)) return false;
      map[EncodableValue(std::move(key))] = std::move(member);
      SkipBlanks();
      if (pos_ >= text_.size()) return Fail("unterminated object");
      if (text_[pos_] == ',') {
        ++pos_;
        continue;
      }
      if (text_[pos_] != '}') return Fail("expected ',' or '}'");
      ++pos_;
      *value = EncodableValue(std::move(map));
      return true;
    }
  }

  bool ReadHex4(uint32_t* unit) {
    if (text_.size() - pos_ < 4) return Fail("short \\u escape");
    uint32_t result = 0;
    for (int i = 0; i < 4; ++i) {
      char c = text_[pos_ + i];
      result <<= 4;
      if (c >= '0' && c <= '9') {
        result |= static_cast<uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        result |= static_cast<uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        result |= static_cast<uint32_t>(c - 'A' + 10);
      } else {
        return Fail("invalid \\u escape");
      }
    }
    pos_ += 4;
    *unit = result;
    return true;
  }

  static void AppendUtf8(uint32_t code_point, std::string* out) {
    if (code_point < 0x80) {
      out->push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
      out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else if (code_point < 0x10000) {
      out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
      out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
  }

  bool ParseUnicodeEscape(std::string* out) {
    uint32_t unit = 0;
    if (!ReadHex4(&unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return Fail("unpaired low surrogate");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (text_.compare(pos_, 2, "\\u") != 0) return Fail("unpaired high surrogate");
      pos_ += 2;
      uint32_t low = 0;
      if (!ReadHex4(&low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("unpaired high surrogate");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(unit, out);
    return true;
  }

  bool ParseString(std::string* out) {
    ++pos_;  // opening quote
    for (;;) {
      if (pos_ >= text_.size()) return Fail("unterminated string");
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return Fail("control character in string");
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        ++pos_;
        continue;
      }
      if (++pos_ >= text_.size()) return Fail("unterminated escape");
      const char escape = text_[pos_++];
      switch (escape) {
        case '"':
          out->push_back('"');
          break;
        case '\\':
          out->push_back('\\');
          break;
        case '/':
          out->push_back('/');
          break;
        case 'b':
          out->push_back('\b');
          break;
        case 'f':
          out->push_back('\f');
          break;
        case 'n':
          out->push_back('\n');
          break;
        case 'r':
          out->push_back('\r');
          break;
        case 't':
          out->push_back('\t');
          break;
        case 'u':
          if (!ParseUnicodeEscape(out)) return false;
          break;
        default:
          --pos_;
          return Fail("invalid escape");
      }
    }
  }

  bool ParseNumber(EncodableValue* value) {
    const size_t start = pos_;
    auto digit = [this] { return pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; };
    if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
    if (!digit()) return Fail("invalid value");
    if (text_[pos_] == '0') {
      ++pos_;
    } else {
      while (digit()) ++pos_;
    }
    bool integral = true;
    if (pos_ < text_.size() && text_[pos_] == '.') {
      integral = false;
      ++pos_;
      if (!digit()) return Fail("digit expected after '.'");
      while (digit()) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
      integral = false;
      ++pos_;
      if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
      if (!digit()) return Fail("digit expected in exponent");
      while (digit()) ++pos_;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (integral) {
      int64_t number = 0;
      auto [end, code] = std::from_chars(first, last, number);
      if (code == std::errc() && end == last) {
        if (number >= std::numeric_limits<int32_t>::min() &&
            number <= std::numeric_limits<int32_t>::max()) {
          *value = EncodableValue(static_cast<int32_t>(number));
        } else {
          *value = EncodableValue(number);
        }
        return true;
      }
      // Too large for 64 bits: read it as a double below.
    }
    double number = 0;
    auto [end, code] = std::from_chars(first, last, number);
    if (code != std::errc() || end != last) {
      pos_ = start;
      return Fail("number out of range");
    }
    *value = EncodableValue(number);
    return true;
  }

  const std::string& text_;
  size_t pos_ = 0;
  std::string error_;
};

// Length of the valid UTF-8 sequence at |text[i]|, or 0 when it is invalid.
size_t Utf8SequenceLength(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  uint32_t minimum;
  uint32_t code_point;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, code_point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, code_point = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code_point = (code_point << 6) | (byte(i + k) & 0x3F);
  }
  if (code_point < minimum || code_point > 0x10FFFF) return 0;
  if (code_point >= 0xD800 && code_point <= 0xDFFF) return 0;
  return length;
}

template <typename Number>
void WriteFloating(Number number, std::string* out) {
  if (std::isnan(number)) {
    *out += "NaN";
    return;
  }
  if (std::isinf(number)) {
    *out += number < 0 ? "-Infinity" : "Infinity";
    return;
  }
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  std::string text(buffer, result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  *out += text;
}

template <typename Element, typename WriteElement>
void WriteArray(const std::vector<Element>& elements, std::string* out, WriteElement write) {
  out->push_back('[');
  for (size_t i = 0; i < elements.size(); ++i) {
    if (i) *out += ", ";
    write(elements[i]);
  }
  out->push_back(']');
}

}  // namespace

bool ParseJson(const std::string& text, flutter::EncodableValue* value, std::string* error) {
  Parser parser(text);
  return parser.ParseDocument(value, error);
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      size_t length = Utf8SequenceLength(text, i);
      if (length == 0) {
        out += "\xEF\xBF\xBD";  // U+FFFD
        ++i;
      } else {
        out.append(text, i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0xF]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
    ++i;
  }
  out.push_back('"');
  return out;
}

void WriteJson(const flutter::EncodableValue& value, std::string* out) {
  struct Writer {
    std::string* out;
    void operator()(const std::monostate&) const { *out += "null"; }
    void operator()(bool b) const { *out += b ? "true" : "false"; }
    void operator()(int32_t n) const { *out += std::to_string(n); }
    void operator()(int64_t n) const { *out += std::to_string(n); }
    void operator()(double d) const { WriteFloating(d, out); }
    void operator()(const std::string& s) const { *out += JsonString(s); }
    void operator()(const std::vector<uint8_t>& v) const {
      WriteArray(v, out, [this](uint8_t n) { *out += std::to_string(n); });
    }
    void operator()(const std::vector<int32_t>& v) const {
      WriteArray(v, out, [this](int32_t n) { *out += std::to_string(n); });
    }
    void operator()(const std::vector<int64_t>& v) const {
      WriteArray(v, out, [this](int64_t n) { *out += std::to_string(n); });
    }
    void operator()(const std::vector<double>& v) const {
      WriteArray(v, out, [this](double d) { WriteFloating(d, out); });
    }
    void operator()(const std::vector<float>& v) const {
      WriteArray(v, out, [this](float f) { WriteFloating(f, out); });
    }
    void operator()(const flutter::ValueList& list) const {
      WriteArray(list, out, [this](const EncodableValue& element) { WriteJson(element, out); });
    }
    void operator()(const flutter::ValueMap& map) const {
      out->push_back('{');
      bool first = true;
      for (const auto& [key, member] : map) {
        if (!first) *out += ", ";
        first = false;
        if (const auto* text = std::get_if<std::string>(&key)) {
          *out += JsonString(*text);
        } else {
          *out += JsonString(ToJson(key));
        }
        *out += ": ";
        WriteJson(member, out);
      }
      out->push_back('}');
    }
    void operator()(const flutter::CustomValue&) const { *out += "null"; }
  };
  std::visit(Writer{out}, static_cast<const flutter::EncodableVariant&>(value));
}

std::string ToJson(const flutter::EncodableValue& value) {
  std::string out;
  WriteJson(value, &out);
  return out;
}

}  // namespace standin
