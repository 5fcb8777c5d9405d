// The digest behind the cache keys: the published FNV-1a values, and the
// same digest whether bytes come at once, in pieces or from a stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/ContentHash.h"

namespace {

std::string hexOf(const std::string& bytes) {
  ContentHash hash;
  hash.add(bytes.data(), bytes.size());
  SString hex = hash.hex();
  return std::string(hex.data(), hex.length());
}

TEST(ContentHashTest, KnownValues) {
  const struct {
    const char* bytes;
    const char* hex;
  } cases[] = {
      {"", "cbf29ce484222325"},
      {"a", "af63dc4c8601ec8c"},
      {"foobar", "85944171f73967e8"},
  };
  for (const auto& c : cases) EXPECT_EQ(hexOf(c.bytes), c.hex) << c.bytes;
}

TEST(ContentHashTest, PiecesStreamsAndLinesAgree) {
  ContentHash pieces;
  pieces.add("foo", 3);
  pieces.add(SString("bar"));
  EXPECT_EQ(pieces.hex(), hashText("foobar"));

  FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  std::fputs("foobar and more", stream);
  std::rewind(stream);
  ContentHash limited;
  EXPECT_TRUE(limited.addStream(stream, 6));
  EXPECT_EQ(limited.hex(), hashText("foobar"));
  // A stream that ends before the limit is reported.
  ContentHash cut;
  EXPECT_FALSE(cut.addStream(stream, 100));
  std::rewind(stream);
  ContentHash whole;
  EXPECT_TRUE(whole.addStream(stream, -1));
  EXPECT_EQ(whole.hex(), hashText("foobar and more"));
  std::fclose(stream);

  // Lines keep the boundaries between texts.
  ContentHash ab, a;
  ab.addLine("ab");
  ab.addLine("c");
  a.addLine("a");
  a.addLine("bc");
  EXPECT_NE(ab.hex(), a.hex());
}

}  // namespace
