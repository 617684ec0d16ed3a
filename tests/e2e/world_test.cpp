#include <gtest/gtest.h>

#include <filesystem>

TEST(NativeBinary, IsBuilt) { EXPECT_TRUE(std::filesystem::exists(RUD_NATIVE_BINARY)); }
