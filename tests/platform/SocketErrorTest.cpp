#include "platform/SocketError.h"

#include <cerrno>
#include <chrono>
#include <gtest/gtest.h>
#include <netdb.h>
#include <thread>

#include "platform/NameLookup.h"
#include "platform/Socket.h"

using namespace platform;

TEST(SocketError, PosixErrorsTakeTheirWinsockNumbers) {
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(ECONNRESET)), "10054:Connection reset by peer");
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(ENETUNREACH)), "10051:Network is unreachable");
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(ECONNREFUSED)), "10061:Connection refused");
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(ETIMEDOUT)), "10060:Connection timed out");
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(EHOSTUNREACH)), "10065:No route to Host");
  EXPECT_EQ(SocketErrorFromErrno(EAGAIN), WSAEWOULDBLOCK);
  EXPECT_EQ(SocketErrorFromErrno(EWOULDBLOCK), WSAEWOULDBLOCK);
  EXPECT_EQ(SocketErrorFromErrno(ENOTCONN), WSAENOTCONN);
  EXPECT_EQ(SocketErrorFromErrno(EPIPE), WSAECONNRESET);
  EXPECT_EQ(SocketErrorFromErrno(EADDRNOTAVAIL), 10049);
  EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
}

TEST(SocketError, DescriptionsAndUnknownCodes) {
  EXPECT_EQ(SocketErrorDescription(10013), "Permission denied");
  EXPECT_EQ(SocketErrorDescription(10071), "Too many levels of remote in path");
  EXPECT_EQ(SocketErrorDescription(10093), "Successful WSAStartup not yet performed");
  EXPECT_EQ(SocketErrorDescription(11003), "Non-Recoverable error: FORMERR, REFUSED, NOTIMP");
  EXPECT_EQ(SocketErrorText(10072), "10072:Unknown Error No. 10072");
  // An errno without a Winsock counterpart passes through and reads as unknown.
  EXPECT_EQ(SocketErrorText(SocketErrorFromErrno(ENOEXEC)), std::to_string(ENOEXEC) + ":Unknown Error No. " + std::to_string(ENOEXEC));
}

TEST(SocketError, LookupFailures) {
  EXPECT_EQ(SocketErrorFromLookup(EAI_NONAME, 0), 11001);
  EXPECT_EQ(SocketErrorFromLookup(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(SocketErrorFromLookup(EAI_FAIL, 0), 11003);
  EXPECT_EQ(SocketErrorFromLookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketAddress, OnlyStrictDottedQuadsSkipTheLookup) {
  SocketAddress a;
  ASSERT_TRUE(ParseDottedIPv4("127.0.0.1", 8080, a));
  EXPECT_EQ(a.Family(), AF_INET);
  EXPECT_EQ(a.ToString(), "127.0.0.1");
  EXPECT_TRUE(ParseDottedIPv4("255.255.255.255", 1, a));
  for (const char* name : {"256.0.0.1", "1.2.3", "1.2.3.4.5", "10", "0x7f.0.0.1", "1.2.3.4 ", "a.b.c.d", "", "1..2.3", "1234.1.1.1"})
    EXPECT_FALSE(ParseDottedIPv4(name, 80, a)) << name;
}

TEST(NameLookup, ResolvesLocalhostOffTheCallingThread) {
  NameLookup lookup("localhost", 8080);
  for (int i = 0; i < 500 && !lookup.Wait(10); ++i) {
  }
  ASSERT_TRUE(lookup.Finished());
  auto result = lookup.Result();
  EXPECT_EQ(result.error, 0);
  ASSERT_FALSE(result.addresses.empty());
  for (const auto& a : result.addresses) EXPECT_TRUE(a.ToString() == "127.0.0.1" || a.ToString() == "::1") << a.ToString();
}

TEST(NameLookup, AnAbandonedLookupFinishesOnItsOwn) {
  std::atomic<bool> release{false}, returned{false};
  SetResolverForTesting([&](const std::string&, std::uint16_t) {
    for (int i = 0; i < 2500 && !release.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    returned.store(true);
    return LookupResult{11001, {}};
  });
  {
    NameLookup lookup("held.invalid", 80);
    EXPECT_FALSE(lookup.Wait(20));
  }
  SetResolverForTesting({});
  release.store(true);
  for (int i = 0; i < 500 && !returned.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  EXPECT_TRUE(returned.load());
}
