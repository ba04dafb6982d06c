#include "analysis/error_class.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(ErrorClass, BoundariesAreStrictAndFiftyIsBlack) {
  const std::pair<double, ErrorClass> cases[] = {
      {0.0, ErrorClass::Blue},  {0.05, ErrorClass::Blue},
      {1, ErrorClass::Blue},    {1.0001, ErrorClass::Green},
      {5, ErrorClass::Green},   {5.0001, ErrorClass::Yellow},
      {15, ErrorClass::Yellow}, {15.0001, ErrorClass::Red},
      {50, ErrorClass::Black},  {49.999, ErrorClass::Red},
      {100, ErrorClass::Red},   {std::numeric_limits<double>::quiet_NaN(), ErrorClass::Black},
  };
  for (auto [error, expected] : cases) EXPECT_EQ(ClassOfError(PlottedError(error)), expected) << error;
}

TEST(ErrorClass, SmallErrorsAreRaisedForTheLogAxis) {
  EXPECT_EQ(PlottedError(0), 0.1);
  EXPECT_EQ(PlottedError(0.05), 0.1);
  EXPECT_EQ(PlottedError(0.1), 0.1);
  EXPECT_EQ(PlottedError(0.2), 0.2);
}

TEST(ErrorClass, ColoursAreToolkitValuesRedInTheLowByte) {
  EXPECT_EQ(ClassColour(ErrorClass::Red), 0x0000FFu);
  EXPECT_EQ(ClassColour(ErrorClass::Blue), 0xFF0000u);
  EXPECT_EQ(ClassColour(ErrorClass::Green), 0x008000u);
  EXPECT_EQ(ClassColour(ErrorClass::Yellow), 0x00FFFFu);
  EXPECT_EQ(ClassColour(ErrorClass::Black), 0u);
}

}  // namespace
