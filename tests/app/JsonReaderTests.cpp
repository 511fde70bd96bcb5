#include "TivrandApp/models/JsonReader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace Tivrand;

namespace {

bool walk(JsonReader& json)
{
    json.skip();
    return json.finish();
}

} // namespace

TEST(JsonReader, AcceptsValidJsonOnly)
{
    const std::string nested = std::string(JsonReader::maxDepth + 1, '[') + std::string(JsonReader::maxDepth + 1, ']');
    const std::pair<std::string, bool> cases[] = {
        {R"( [ ] )", true},
        {R"({"a": [1, -0.5e+3, true, false, null, "x"], "b": {"c": {}}, "a": 2})", true},
        {R"(["\"\\\/\b\f\n\r\t\u00e9\ud83d\ude80"])", true},
        {"[\"\xc3\xa9\xf0\x9f\x9a\x80\"]\n", true},
        {R"([0, 1E2, 1e-2, 10])", true},
        // What Qt's parser read too: a leading byte order mark, raw control characters in strings.
        {"\xEF\xBB\xBF{\"a\": 1}", true}, {std::string("[\"a\tb\x01\0\\n\"]", 11), true}, {"{\"\x1f\": 1}", true},
        {" \xEF\xBB\xBF[]", false}, {"\xEF\xBB\xBF\xEF\xBB\xBF[]", false}, {"[1,\xEF\xBB\xBF 2]", false}, {"[\x01]", false},
        {R"([1,])", false}, {R"([,1])", false}, {R"({"a" 1})", false}, {R"({"a": 1,})", false}, {R"({a: 1})", false},
        {R"([1 2])", false}, {R"([01])", false}, {R"([1.])", false}, {R"([.5])", false}, {R"([+1])", false},
        {R"([-])", false}, {R"([1e])", false}, {R"([tru])", false}, {R"(["a)", false},
        {R"(["\x"])", false}, {R"(["\u12"])", false}, {"[\"\xc0\xaf\"]", false}, {"[\"\xed\xa0\x80\"]", false},
        {"[\"\xff\"]", false}, {R"([1] x)", false}, {R"([)", false}, {"", false}, {R"({"a": [}])", false},
        {nested, false},
    };
    for (const auto& [text, valid] : cases) {
        SCOPED_TRACE(text.substr(0, 80));
        JsonReader reader{QByteArrayView(text)};
        EXPECT_EQ(walk(reader), valid) << reader.errorString().toStdString();
    }
}

TEST(JsonReader, ReadsTextsNumbersAndWholeNumbersAndSkipsWhatIsOfAnotherType)
{
    JsonReader json{QByteArrayView("[\"\\u00e9\\ud83d\\ude80 \\ud800 a\\\"b\tc\", 4.5, 1e400, -1e400, 1e-400, 12, 12.5, 3e9, "
                                   "1e400, \"7\", {\"deep\": [1]}, 2]")};
    ASSERT_TRUE(json.enterArray());
    const auto next = [&] { return json.nextElement(); };
    ASSERT_TRUE(next());
    EXPECT_EQ(json.text(), QStringLiteral("é🚀 \uFFFD a\"b\tc")) << "an unpaired surrogate is no character";
    ASSERT_TRUE(next());
    EXPECT_EQ(json.number(), 4.5);
    for (const char* beyondDouble : {"1e400", "-1e400", "1e-400"}) {
        ASSERT_TRUE(next()) << beyondDouble;
        EXPECT_EQ(json.number(), std::nullopt) << beyondDouble;
    }
    ASSERT_TRUE(next());
    EXPECT_EQ(json.integer(), 12);
    for (const char* notWhole : {"12.5", "3e9", "1e400", "\"7\"", "{...}"}) {
        ASSERT_TRUE(next()) << notWhole;
        EXPECT_EQ(json.integer(), std::nullopt) << notWhole;
    }
    ASSERT_TRUE(next());
    EXPECT_EQ(json.text(), std::nullopt);
    EXPECT_FALSE(next());
    EXPECT_TRUE(json.finish());
}
