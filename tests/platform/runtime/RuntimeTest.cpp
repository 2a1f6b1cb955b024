// The date and time texts.
#include "platform/runtime/Runtime.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

using namespace platform;

TEST(DateTime, FixedFormsWhateverTheLocale) {
  setClock(testsupport::fixedClock(2026, 1, 2, 3, 4, 5));
  EXPECT_EQ(DateText(), "01-02-2026");
  EXPECT_EQ(TimeText(), "03:04:05");
  setClock(testsupport::fixedClock(2026, 12, 31, 23, 59, 59));
  EXPECT_EQ(DateText(), "12-31-2026");
  EXPECT_EQ(TimeText(), "23:59:59");
  setClock({});
}

}  // namespace
