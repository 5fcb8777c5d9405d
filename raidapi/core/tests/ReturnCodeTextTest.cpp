#include <gtest/gtest.h>

#include <set>
#include <string>

#include "hvapi.h"

namespace {

// Every code hvapi.h defines has its own text; the generic one is for codes
// the library never answers.
TEST(ReturnCodeText, EveryCodeHasItsOwnText) {
  const Int codes[] = {255, 0,   -1,  -2,  -7,  -8,  -9,  -10, -11, -13,
                       -14, -16, -17, -18, -19, -22, -23, -24, -25, -26,
                       -27, -31, -37, -42, -44, -45, -46, -47, -48, -49,
                       -50, -51, -52, -53, -54, -55, -56, -57, -58, -60,
                       -61, -62, -63, -64, -65, -66};
  std::set<std::string> texts;
  for (Int code : codes) {
    std::string text = GetReturnCodeText(code);
    EXPECT_NE(text, "unknown return code") << code;
    EXPECT_FALSE(text.empty()) << code;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), sizeof codes / sizeof codes[0]);
  EXPECT_STREQ(GetReturnCodeText(HVAPI_ERR_NO_ADAPTER), "no adapter found");
}

TEST(ReturnCodeText, UnknownCodesGiveTheGenericText) {
  for (Int code : {1, 100, 254, 256, -3, -12, -59, -67, -1000, INT32_MIN})
    EXPECT_STREQ(GetReturnCodeText(code), "unknown return code") << code;
}

}  // namespace
