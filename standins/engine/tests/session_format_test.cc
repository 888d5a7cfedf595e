// The scripted session's formats: JSON arguments in, transcript lines out,
// the session file's lines, and byte counts in human units.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "codec/standard_method_codec.h"
#include "standins/engine/human_units.h"
#include "standins/engine/json_value.h"
#include "standins/engine/session_script.h"
#include "standins/engine/transcript.h"

namespace standin {
namespace {

using flutter::EncodableValue;
using flutter::ValueList;
using flutter::ValueMap;

EncodableValue Parse(const std::string& text) {
  EncodableValue value;
  std::string error;
  EXPECT_TRUE(ParseJson(text, &value, &error)) << text << ": " << error;
  return value;
}

TEST(JsonParse, ScalarsTakeTheNarrowestFittingAlternative) {
  EXPECT_TRUE(Parse("null").IsNull());
  EXPECT_EQ(Parse(" true ").index(), 1u);
  EXPECT_EQ(std::get<bool>(Parse("false")), false);
  EXPECT_EQ(std::get<int32_t>(Parse("2147483647")), 2147483647);
  EXPECT_EQ(std::get<int32_t>(Parse("-2147483648")), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(std::get<int64_t>(Parse("2147483648")), 2147483648LL);
  EXPECT_EQ(std::get<int64_t>(Parse("-9223372036854775808")), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(std::get<double>(Parse("9223372036854775808")), 9223372036854775808.0);
  EXPECT_EQ(std::get<double>(Parse("1.5")), 1.5);
  EXPECT_EQ(std::get<double>(Parse("1e3")), 1000.0);
  EXPECT_EQ(std::get<double>(Parse("-2.5E-1")), -0.25);
  EXPECT_EQ(std::get<int32_t>(Parse("-0")), 0);
}

TEST(JsonParse, StringsResolveEveryEscapeToUtf8) {
  EXPECT_EQ(std::get<std::string>(Parse(R"("\"\\\/\b\f\n\r\t")")), "\"\\/\b\f\n\r\t");
  EXPECT_EQ(std::get<std::string>(Parse(R"("\u00e9\u0041")")),
            "\xC3\xA9"
            "A");
  EXPECT_EQ(std::get<std::string>(Parse(R"("\u20AC")")), "\xE2\x82\xAC");
  EXPECT_EQ(std::get<std::string>(Parse(R"("\ud83d\ude00")")), "\xF0\x9F\x98\x80");
  EXPECT_EQ(std::get<std::string>(Parse("\"\xD0\x9D\xD0\xB5\"")), "\xD0\x9D\xD0\xB5");
  EXPECT_EQ(std::get<std::string>(Parse(R"("")")), "");
}

TEST(JsonParse, ArraysBecomeListsAndObjectsMapsWithStringKeys) {
  EncodableValue value = Parse(R"({"config": "x", "n": [1, 2.5, [], {}], "config": "last"})");
  const auto& map = std::get<ValueMap>(value);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(std::get<std::string>(*flutter::LookupMapValue(map, "config")), "last");
  const auto& list = std::get<ValueList>(*flutter::LookupMapValue(map, "n"));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(std::get<int32_t>(list[0]), 1);
  EXPECT_EQ(std::get<double>(list[1]), 2.5);
  EXPECT_TRUE(std::get<ValueList>(list[2]).empty());
  EXPECT_TRUE(std::get<ValueMap>(list[3]).empty());
}

TEST(JsonParse, MalformedTextIsRefusedWithAReason) {
  const char* bad[] = {"",
                       "tru",
                       "nul",
                       "01",
                       "1.",
                       "-",
                       "1e",
                       "[1,]",
                       "[1 2]",
                       "{\"a\" 1}",
                       "{1: 2}",
                       "{\"a\": 1,}",
                       "\"abc",
                       "\"\\x\"",
                       "\"\\u12\"",
                       "\"\\ud800\"",
                       "\"\\ud800\\u0041\"",
                       "\"\\udc00\"",
                       "\"a\nb\"",
                       "1e999",
                       "[1] x",
                       "'text'"};
  for (const char* text : bad) {
    EncodableValue value;
    std::string error;
    EXPECT_FALSE(ParseJson(text, &value, &error)) << text;
    EXPECT_NE(error.find("at offset"), std::string::npos) << text;
  }
  // Deep nesting is refused instead of exhausting the stack.
  EncodableValue value;
  std::string error;
  EXPECT_FALSE(ParseJson(std::string(100000, '['), &value, &error));
  EXPECT_NE(error.find("nesting too deep"), std::string::npos);
  EXPECT_TRUE(ParseJson(std::string(kMaxJsonDepth - 1, '[') + std::string(kMaxJsonDepth - 1, ']'),
                        &value, &error));
}

TEST(JsonWrite, EveryAlternativeHasItsJsonForm) {
  EXPECT_EQ(ToJson(EncodableValue()), "null");
  EXPECT_EQ(ToJson(EncodableValue(true)), "true");
  EXPECT_EQ(ToJson(EncodableValue(int32_t{-7})), "-7");
  EXPECT_EQ(ToJson(EncodableValue(int64_t{1} << 40)), "1099511627776");
  EXPECT_EQ(ToJson(EncodableValue(1.0)), "1.0");
  EXPECT_EQ(ToJson(EncodableValue(0.1)), "0.1");
  EXPECT_EQ(ToJson(EncodableValue(-2.5e-7)), "-2.5e-07");
  EXPECT_EQ(ToJson(EncodableValue(1e300)), "1e+300");
  EXPECT_EQ(ToJson(EncodableValue(std::nan(""))), "NaN");
  EXPECT_EQ(ToJson(EncodableValue(-std::numeric_limits<double>::infinity())), "-Infinity");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<uint8_t>{0, 255})), "[0, 255]");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<int32_t>{-1, 2})), "[-1, 2]");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<int64_t>{int64_t{1} << 33})), "[8589934592]");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<double>{0.5, 2.0})), "[0.5, 2.0]");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<float>{0.1f})), "[0.1]");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<uint8_t>{})), "[]");
  EXPECT_EQ(ToJson(EncodableValue(ValueMap{})), "{}");
  EXPECT_EQ(ToJson(EncodableValue(ValueList{EncodableValue("a"), EncodableValue(ValueList{})})),
            "[\"a\", []]");
  EXPECT_EQ(ToJson(EncodableValue(ValueMap{{EncodableValue("rx"), EncodableValue(int64_t{0})},
                                           {EncodableValue("tx"), EncodableValue(int64_t{0})}})),
            "{\"rx\": 0, \"tx\": 0}");
  // Keys that are not strings are written as their JSON text, quoted.
  EXPECT_EQ(ToJson(EncodableValue(ValueMap{{EncodableValue(int32_t{1}), EncodableValue("a")}})),
            "{\"1\": \"a\"}");
  EXPECT_EQ(ToJson(EncodableValue(
                ValueMap{{EncodableValue(ValueList{EncodableValue("k")}), EncodableValue()}})),
            "{\"[\\\"k\\\"]\": null}");
  EXPECT_EQ(ToJson(EncodableValue(flutter::CustomValue(42))), "null");
}

TEST(JsonWrite, StringsAreEscapedAndKeptValidUtf8) {
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("\n\r\t"), "\"\\n\\r\\t\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f\b\f", 4)), "\"\\u0001\\u001f\\u0008\\u000c\"");
  EXPECT_EQ(JsonString(std::string(1, '\0')), "\"\\u0000\"");
  EXPECT_EQ(JsonString("/\x7f"), "\"/\x7f\"");
  EXPECT_EQ(JsonString("\xD0\x9D\xF0\x9F\x98\x80"), "\"\xD0\x9D\xF0\x9F\x98\x80\"");
  // Bytes that are not UTF-8 (a lone continuation, a truncated sequence, an
  // overlong form, an encoded surrogate) become U+FFFD each.
  EXPECT_EQ(JsonString("a\x80z"), "\"a\xEF\xBF\xBDz\"");
  EXPECT_EQ(JsonString("\xE2\x82"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_EQ(JsonString("\xED\xA0\x80"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

TEST(JsonWrite, WhatIsWrittenReadsBackEqual) {
  const char* texts[] = {R"({"config": "[Interface]\nPrivateKey = x\n", "n": 5})",
                         R"([null, true, -1, 4294967296, 0.25, "\u0000\u00e9", {"a": []}])",
                         "1e-05", "123456789.125"};
  for (const char* text : texts) {
    EncodableValue first = Parse(text);
    EncodableValue second = Parse(ToJson(first));
    EXPECT_EQ(first, second) << text << " -> " << ToJson(first);
  }
}

TEST(SessionScript, CallsQuitCommentsAndBlankLines) {
  auto steps = ParseSessionScript(
      "\xEF\xBB\xBF# a comment\r\n"
      "\r\n"
      "   \n"
      "isWireguardInstalled\r\n"
      "connect {\"config\": \"[Interface]\\n\"}\n"
      "getStatus \n"
      "quit\n"
      "#quit\n"
      "quitNow\n"
      "getStats");
  ASSERT_EQ(steps.size(), 6u);
  EXPECT_EQ(steps[0].kind, SessionStep::Kind::kCall);
  EXPECT_EQ(steps[0].name, "isWireguardInstalled");
  EXPECT_EQ(steps[0].line_number, 4);
  EXPECT_TRUE(steps[0].arguments.IsNull());
  EXPECT_EQ(steps[1].name, "connect");
  EXPECT_EQ(ToJson(steps[1].arguments), "{\"config\": \"[Interface]\\n\"}");
  EXPECT_EQ(steps[2].name, "getStatus");
  EXPECT_TRUE(steps[2].arguments.IsNull());
  EXPECT_EQ(steps[3].kind, SessionStep::Kind::kQuit);
  EXPECT_EQ(steps[4].kind, SessionStep::Kind::kCall);
  EXPECT_EQ(steps[4].name, "quitNow");
  EXPECT_EQ(steps[5].name, "getStats");
  EXPECT_EQ(steps[5].line_number, 10);
}

TEST(SessionScript, Directives) {
  auto steps = ParseSessionScript(
      "@sleep 250\n"
      "@write C:\\tmp\\a.conf [Interface]\\nKey = a\\\\b\\t \n"
      "@write \"C:\\with blank\\b.txt\" text\n"
      "@write C:\\empty.txt\n"
      "@delete C:\\tmp\\a.conf\n"
      "@diagnostics\n"
      "@readonly \"C:\\with blank\\b.txt\"\n"
      "@writable C:\\empty.txt\n");
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps[0].kind, SessionStep::Kind::kSleep);
  EXPECT_EQ(steps[0].sleep_ms, 250u);
  EXPECT_EQ(steps[1].kind, SessionStep::Kind::kWrite);
  EXPECT_EQ(steps[1].path, "C:\\tmp\\a.conf");
  EXPECT_EQ(steps[1].text, "[Interface]\nKey = a\\b\t ");
  EXPECT_EQ(steps[2].path, "C:\\with blank\\b.txt");
  EXPECT_EQ(steps[2].text, "text");
  EXPECT_EQ(steps[3].kind, SessionStep::Kind::kWrite);
  EXPECT_EQ(steps[3].text, "");
  EXPECT_EQ(steps[4].kind, SessionStep::Kind::kDelete);
  EXPECT_EQ(steps[4].path, "C:\\tmp\\a.conf");
  EXPECT_EQ(steps[5].kind, SessionStep::Kind::kDiagnostics);
  EXPECT_EQ(steps[5].name, "@diagnostics");
  EXPECT_EQ(steps[6].kind, SessionStep::Kind::kReadOnly);
  EXPECT_EQ(steps[6].path, "C:\\with blank\\b.txt");
  EXPECT_EQ(steps[7].kind, SessionStep::Kind::kWritable);
  EXPECT_EQ(steps[7].path, "C:\\empty.txt");
}

TEST(SessionScript, LinesThatFitNothingSayWhy) {
  auto steps = ParseSessionScript(
      "connect {\"config\": }\n"
      "@sleep\n"
      "@sleep -5\n"
      "@sleep 90000000\n"
      "@write\n"
      "@write \"C:\\unclosed text\n"
      "@delete a b\n"
      "@diagnostics now\n"
      "@launch x\n"
      " getStatus\n"
      "@readonly\n"
      "@writable a b\n");
  ASSERT_EQ(steps.size(), 12u);
  for (const SessionStep& step : steps) {
    EXPECT_EQ(step.kind, SessionStep::Kind::kInvalid) << step.line_number;
    EXPECT_FALSE(step.error.empty()) << step.line_number;
  }
  EXPECT_EQ(steps[0].name, "connect");
  EXPECT_NE(steps[0].error.find("arguments: "), std::string::npos);
  EXPECT_EQ(steps[8].name, "@launch");
  EXPECT_EQ(steps[8].error, "unknown directive");
  EXPECT_EQ(steps[9].line_number, 10);
}

TEST(Transcript, RepliesProducedByTheCodecBecomeTheirLines) {
  const auto& codec = flutter::StandardMethodCodec::ForSerializer();
  auto decode = [](const std::vector<uint8_t>& bytes) {
    return DecodeSessionReply(bytes.data(), bytes.size());
  };
  EncodableValue stats(ValueMap{{EncodableValue("rx"), EncodableValue(int64_t{6707})},
                                {EncodableValue("tx"), EncodableValue(int64_t{0})}});
  EXPECT_EQ(
      ReplyLine("getStats", decode(*codec.EncodeSuccessReply(&stats))),
      "{\"method\": \"getStats\", \"reply\": \"success\", \"value\": {\"rx\": 6707, \"tx\": 0}}");
  EXPECT_EQ(ReplyLine("disconnect", decode(*codec.EncodeSuccessReply())),
            "{\"method\": \"disconnect\", \"reply\": \"success\", \"value\": null}");
  EXPECT_EQ(ReplyLine("connect",
                      decode(*codec.EncodeErrorReply("INVALID_ARGUMENT", "\xD0\x9D\xD0\xB5\n"))),
            "{\"method\": \"connect\", \"reply\": \"error\", \"code\": \"INVALID_ARGUMENT\", "
            "\"message\": \"\xD0\x9D\xD0\xB5\\n\", \"details\": null}");
  EncodableValue details(ValueList{EncodableValue(1.0)});
  EXPECT_EQ(ReplyLine("x", decode(*codec.EncodeErrorReply("E", "", &details))),
            "{\"method\": \"x\", \"reply\": \"error\", \"code\": \"E\", \"message\": \"\", "
            "\"details\": [1.0]}");
  EXPECT_EQ(ReplyLine("getstats", DecodeSessionReply(nullptr, 0)),
            "{\"method\": \"getstats\", \"reply\": \"not_implemented\"}");
  // An unknown envelope kind, and an error envelope whose code is no text.
  const uint8_t unknown_kind[] = {0x02, 0x00};
  EXPECT_EQ(ReplyLine("m", DecodeSessionReply(unknown_kind, sizeof unknown_kind)),
            "{\"method\": \"m\", \"reply\": \"malformed\", \"size\": 2}");
  const uint8_t numeric_code[] = {0x01, 0x03, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(ReplyLine("m", DecodeSessionReply(numeric_code, sizeof numeric_code)),
            "{\"method\": \"m\", \"reply\": \"malformed\", \"size\": 8}");
}

TEST(Transcript, SessionCallsDecodeBackToTheirMethodAndArguments) {
  const auto& codec = flutter::StandardMethodCodec::ForSerializer();
  EncodableValue arguments = Parse(R"({"config": "[Interface]\n", "n": 3000000000})");
  std::vector<uint8_t> bytes = EncodeSessionCall("connect", arguments);
  auto call = codec.DecodeCall(bytes.data(), bytes.size());
  ASSERT_TRUE(call);
  EXPECT_EQ(call->method_name(), "connect");
  ASSERT_TRUE(call->arguments());
  EXPECT_EQ(*call->arguments(), arguments);
  std::vector<uint8_t> bare = EncodeSessionCall("getStatus", EncodableValue());
  auto bare_call = codec.DecodeCall(bare.data(), bare.size());
  ASSERT_TRUE(bare_call);
  EXPECT_EQ(bare_call->method_name(), "getStatus");
  EXPECT_TRUE(!bare_call->arguments() || bare_call->arguments()->IsNull());
}

TEST(Transcript, SessionEventLines) {
  EXPECT_EQ(TimeoutLine("installWireguard", 900000),
            "{\"method\": \"installWireguard\", \"reply\": \"timeout\", \"waited_ms\": 900000}");
  EXPECT_EQ(ScriptErrorLine("connect", 7, "arguments: \"x\""),
            "{\"method\": \"connect\", \"reply\": \"script_error\", \"line\": 7, \"message\": "
            "\"arguments: \\\"x\\\"\"}");
  EXPECT_EQ(DiagnosticsLine(123, 4567890123ULL),
            "{\"method\": \"@diagnostics\", \"handles\": 123, \"private_bytes\": 4567890123}");
  EXPECT_EQ(
      FailedLine("@write", "creating C:\\x failed (error 5)"),
      "{\"method\": \"@write\", \"reply\": \"failed\", \"message\": \"creating C:\\\\x failed "
      "(error 5)\"}");
}

TEST(HumanBytes, BytesBelowOneKibibyteThenTwoDecimals) {
  EXPECT_EQ(HumanBytes(0), "0 B");
  EXPECT_EQ(HumanBytes(1023), "1023 B");
  EXPECT_EQ(HumanBytes(1024), "1.00 KiB");
  EXPECT_EQ(HumanBytes(6707), "6.55 KiB");
  EXPECT_EQ(HumanBytes(1331691), "1.27 MiB");
  EXPECT_EQ(HumanBytes(int64_t{3} << 30), "3.00 GiB");
  EXPECT_EQ(HumanBytes(int64_t{5} << 40), "5.00 TiB");
  EXPECT_EQ(HumanBytes(int64_t{2048} << 40), "2048.00 TiB");
  EXPECT_EQ(HumanBytes(-2048), "-2.00 KiB");
  EXPECT_EQ(HumanBytes(std::numeric_limits<int64_t>::min()), "-8388608.00 TiB");
}

}  // namespace
}  // namespace standin
