// The feed replies kept as test inputs, and what the ticker puts between titles.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace testing_online {

inline std::string FeedFixture(const std::string& name) {
  const char* root = std::getenv("BRISVANE_SOURCE_DIR");
  std::ifstream in(std::string(root ? root : ".") + "/tests/online/data/feeds/" + name, std::ios::binary);
  EXPECT_TRUE(in) << name;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline const std::string kSep = "  ***  ";

}  // namespace testing_online
