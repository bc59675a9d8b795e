#include "http/HostAddress.h"

#include <gtest/gtest.h>

namespace {

using talvex::HUtils::ResolveHostAddress;

TEST(HostAddressTest, ResolvesDottedAddressesInNetworkOrderAndRefusesEmptyText) {
    const uint32_t loopback = ResolveHostAddress("127.0.0.1");
    const auto* bytes = reinterpret_cast<const uint8_t*>(&loopback);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[3], 1);
    EXPECT_EQ(ResolveHostAddress(""), 0u);
}

}  // namespace
