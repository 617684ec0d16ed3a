#include "console/text.h"

#include <gtest/gtest.h>

TEST(DecimalText, SignedNumbers) {
  struct Case {
    int64_t number;
    const char16_t* text;
  } cases[] = {{0, u"0"}, {-1, u"-1"}, {1224, u"1224"}, {-2147483648LL, u"-2147483648"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(DecimalText(c.number), c.text);
  }
}
