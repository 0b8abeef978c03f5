// Temporary files for the unit tests of the driver. Included only by
// *_test.cpp files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace qorla::test_support {

// A fresh directory for each test, and the files written into it, all
// removed at the end of the test.
class TempFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qorla-unit-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const std::string& f : files_) ::unlink(f.c_str());
    ::rmdir(dir_.c_str());
  }

  // Writes bytes to a new file in the directory and returns its path.
  std::string write(const std::string& bytes) {
    const std::string path = dir_ + "/f" + std::to_string(files_.size());
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    files_.push_back(path);
    return path;
  }

  std::string dir_;
  std::vector<std::string> files_;
};

}  // namespace qorla::test_support
