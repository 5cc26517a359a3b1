#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ProcessMemory.h"

namespace pelagon::bench {
namespace {

constexpr std::int64_t kMiB = 1024 * 1024;

// The resident set counts pages in RAM, not reserved address space: an allocation grows it only
// once its pages are written.
TEST(ResidentBytes, GrowsWhenPagesAreWrittenNotWhenTheyAreReserved) {
    const std::int64_t before = residentBytes();
    EXPECT_GT(before, 0);

    constexpr std::size_t size = 64 * kMiB;
    std::unique_ptr<char[]> block(new char[size]);
    const std::int64_t reserved = residentBytes();
    EXPECT_LT(reserved - before, 16 * kMiB);

    std::memset(block.get(), 1, size);
    const std::int64_t touched = residentBytes();
    volatile char keep = block[size - 1];
    EXPECT_EQ(keep, 1);
    EXPECT_GE(touched - reserved, 60 * kMiB);
}

}  // namespace
}  // namespace pelagon::bench
