#include "TestCa.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testing_bridge {

namespace {

bool Run(const std::string& command, std::string& error) {
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  if (status == 0) return true;
  error = "failed: " + command;
  return false;
}

}  // namespace

TestCa::TestCa() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisvane-ca-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    FError = "no temporary folder";
    return;
  }
  FDir = pattern;
  std::ofstream(FDir + "/leaf.ext") << "subjectAltName=IP:127.0.0.1,DNS:localhost,DNS:news.google.com\n"
                                       "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature\n"
                                       "extendedKeyUsage=serverAuth\n";
  const std::string d = FDir + "/";
  const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  FOk = Run("openssl req -x509 " + ec + " -keyout " + d + "ca.key -out " + d +
                "ca.pem -days 2 -subj /CN=Brisvane-Test-CA -addext basicConstraints=critical,CA:TRUE"
                " -addext keyUsage=critical,keyCertSign,cRLSign",
            FError) &&
        Run("openssl req " + ec + " -keyout " + d + "leaf.key -out " + d + "leaf.csr -subj /CN=localhost", FError) &&
        Run("openssl x509 -req -in " + d + "leaf.csr -CA " + d + "ca.pem -CAkey " + d + "ca.key -CAcreateserial -out " +
                d + "leaf.pem -days 2 -extfile " + d + "leaf.ext",
            FError);
  FLeaf.certificate = d + "leaf.pem";
  FLeaf.key = d + "leaf.key";
}

TestCa::~TestCa() {
  std::error_code ignored;
  if (!FDir.empty()) std::filesystem::remove_all(FDir, ignored);
}

}  // namespace testing_bridge
