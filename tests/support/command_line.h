#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

// Replaces the process's command line for one test (the buffer
// GetCommandLineA returns, which a saver application's Run reads), and puts
// it back when it goes out of scope.
class CommandLine {
 public:
  explicit CommandLine(const char* text) : buffer(GetCommandLineA()), original(buffer) {
    EXPECT_LT(std::strlen(text), original.size());
    std::strncpy(buffer, text, original.size());
  }
  ~CommandLine() { std::memcpy(buffer, original.c_str(), original.size() + 1); }
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

 private:
  char* buffer;
  std::string original;
};
