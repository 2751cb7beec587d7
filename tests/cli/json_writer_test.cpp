#include "cli/json_writer.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "cli_test_support.h"

namespace veltra::cli {
namespace {

TEST(JsonQuote, EscapesWhatJsonNeedsAndReplacesBrokenUtf8) {
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"", R"("")"},
      {"Veltra Audio", R"("Veltra Audio")"},
      {"a\"b\\c/", R"("a\"b\\c/")"},
      {"\n\r\t", R"("\n\r\t")"},
      {std::string("\x00\x1F\x7F", 3), R"("\u0000\u001f\u007f")"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5\""},
      {"\xC3", R"("\ufffd")"},                                // cut sequence at the end
      {"\xC3(", R"("\ufffd(")"},                              // lead byte without its continuation
      {"\x80\xBF", R"("\ufffd\ufffd")"},                      // stray continuation bytes
      {"\xC0\xAF", R"("\ufffd\ufffd")"},                      // overlong
      {"\xED\xA0\x80", R"("\ufffd\ufffd\ufffd")"},            // a surrogate
      {"\xF4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},  // beyond U+10FFFF
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JsonQuote(c.text), c.quoted);
    EXPECT_TRUE(testing::IsJson(JsonQuote(c.text))) << c.quoted;
  }
}

TEST(JsonWriter, PutsCommasBetweenMembersAndElementsOnly) {
  std::ostringstream out;
  JsonWriter json(out);
  json.BeginObject();
  json.Key("a");
  json.BeginArray();
  json.Integer(-1);
  json.BeginObject();
  json.EndObject();
  json.BeginArray();
  json.EndArray();
  json.Null();
  json.EndArray();
  json.Key("b");
  json.Number("0.5");
  json.Key("c");
  json.Bool(false);
  json.Key("d");
  json.String("x");
  json.EndObject();
  EXPECT_EQ(out.str(), R"({"a":[-1,{},[],null],"b":0.5,"c":false,"d":"x"})");
}

}  // namespace
}  // namespace veltra::cli
