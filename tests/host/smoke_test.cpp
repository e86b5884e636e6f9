#include <gtest/gtest.h>
#include "host.h"
#include "registry/registry_ops.h"
TEST(Smoke, Runs) { host::Reset(); char n[256]; EXPECT_EQ(0, FindSupportedPrinter(n)); }
