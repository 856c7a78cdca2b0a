// A throw-away certificate authority and a leaf certificate for 127.0.0.1,
// localhost and news.google.com, made with the openssl command for one test.
#pragma once

#include <string>

#include "FakeUpstream.h"

namespace testing_bridge {

class TestCa {
 public:
  TestCa();
  ~TestCa();
  bool Ok() const { return FOk; }
  const std::string& Error() const { return FError; }
  std::string CaFile() const { return FDir + "/ca.pem"; }
  const TlsFiles& Leaf() const { return FLeaf; }
  const std::string& Dir() const { return FDir; }

 private:
  std::string FDir;
  TlsFiles FLeaf;
  bool FOk = false;
  std::string FError;
};

}  // namespace testing_bridge
