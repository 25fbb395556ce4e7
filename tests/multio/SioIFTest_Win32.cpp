#include "multio/SioIF.h"

#include <gtest/gtest.h>

#include "tests/link/PortTestSupport.h"

// Ports: COM3 is one end of a pty pair whose other end is COM13; every other number up to
// 63 is mapped to something that does not open.
namespace {

TEST(SioIF, WritesReachTheOtherEndOfTheLine) {
    SioIF port("COM3", 500000, false);
    ASSERT_FALSE(port.IsFailed());
    porttest::PeerReader peer("\\\\.\\COM13");
    ASSERT_TRUE(peer.IsOpen());
    std::vector<uint8_t> bytes = porttest::Pattern(3000, 1);
    size_t sent = 0;
    while (sent < bytes.size()) {
        int32_t n = port.Write(bytes.data() + sent, static_cast<int32_t>(bytes.size() - sent), 0);
        ASSERT_GT(n, 0);
        sent += static_cast<size_t>(n);
    }
    EXPECT_EQ(peer.Read(bytes.size()), bytes);
}

TEST(SioIF, ReadsWhatTheOtherEndSends) {
    SioIF port("COM3", 9600, true);
    ASSERT_FALSE(port.IsFailed());
    SioIF peer("\\\\.\\COM13", 9600, false);
    ASSERT_FALSE(peer.IsFailed());
    ASSERT_EQ(peer.Write("ping", 4, 0), 4);
    char buffer[4] = {};
    int32_t got = 0;
    while (got < 4) {
        int32_t n = port.Read(buffer + got, 4 - got, 0);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(std::string(buffer, 4), "ping");
}

TEST(SioIF, PortThatDoesNotOpenIsFailedForGood) {
    for (const char* path : {"COM8", "\\\\.\\COM40", "\\\\.\\COM200", "NOSUCHPORT"}) {
        SioIF port(path, 500000, false);
        EXPECT_TRUE(port.IsFailed()) << path;
        char buffer[4] = {};
        EXPECT_EQ(port.Read(buffer, 4, 0), -1) << path;
        EXPECT_EQ(port.Write("abcd", 4, 0), -1) << path;
    }
}

} // namespace
