#include "support.h"

namespace {
using test::SaverTest;
TEST_F(SaverTest, EmptyCommandLineStartsNothing) { EXPECT_EQ(Run(""), 0); }
} // namespace
