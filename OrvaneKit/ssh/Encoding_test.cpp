// Strict Base64 and lossy UTF-8 decoding: the rules the key and known-hosts readers rely on.
#include "Encoding.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

std::string text(const std::vector<uint8_t>& v)
{
    return {v.begin(), v.end()};
}

} // namespace

TEST(Base64, RoundTripsEveryLengthAroundTheBlockSize)
{
    std::vector<uint8_t> bytes;
    for (int n = 0; n < 10; ++n) {
        const std::string encoded = base64Encode(bytes);
        EXPECT_EQ(encoded.size() % 4, 0u);
        const auto decoded = base64Decode(encoded);
        ASSERT_TRUE(decoded) << encoded;
        EXPECT_EQ(*decoded, bytes);
        bytes.push_back(uint8_t(0xF0 + n));
    }
    EXPECT_EQ(base64Encode(std::vector<uint8_t>{'f', 'o', 'o', 'b'}), "Zm9vYg==");
}

TEST(Base64, DecodingIsStrict)
{
    struct Case {
        const char* input;
        bool ok;
        const char* decoded;
    };
    const Case cases[] = {
        {"", true, ""},
        {"Zm9vYg==", true, "foob"},
        {"Zm9vYmE=", true, "fooba"},
        {"Zm9vYg", false, ""},     // padding missing
        {"Zm9v Yg==", false, ""},  // a space
        {"Zm9vYg==\n", false, ""}, // a line end
        {"Zm9vYg\r\n", false, ""},
        {"Zm9=vYg=", false, ""}, // padding inside
        {"Zm9vY===", false, ""}, // three padding characters
        {"Zm9v-_==", false, ""}, // the URL alphabet
        {"====", false, ""},
    };
    for (const auto& c : cases) {
        const auto decoded = base64Decode(c.input);
        EXPECT_EQ(decoded.has_value(), c.ok) << c.input;
        if (decoded && c.ok) {
            EXPECT_EQ(text(*decoded), c.decoded) << c.input;
        }
    }
}

TEST(Utf8, InvalidSequencesAreReplaced)
{
    const auto lossy = [](std::string s) {
        return decodeUTF8Lossy(std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
    };
    EXPECT_EQ(lossy("none"), "none");
    EXPECT_EQ(lossy("gr\xC3\xBC\xC3\x9F"), "gr\xC3\xBC\xC3\x9F");
    EXPECT_EQ(lossy("a\xFF"
                    "b"),
              "a\xEF\xBF\xBD"
              "b");
    // A character cut short by a backspace, and one cut at the end.
    EXPECT_EQ(lossy("\xE2\x82x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(lossy("x\xF0\x9F\x98"), "x\xEF\xBF\xBD");
    // Overlong forms and surrogates are invalid.
    EXPECT_EQ(lossy("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(lossy("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}
