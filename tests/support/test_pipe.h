// A pipe of the operating system's, its ends as Win32 handles, for tests of
// code that writes to or reads from a handle; and a scoped redirection of the
// process's standard output handle.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class TestPipe {
 public:
  // Writing to a pipe without a reader fails instead of ending the test run.
  TestPipe();
  ~TestPipe();
  TestPipe(const TestPipe&) = delete;
  TestPipe& operator=(const TestPipe&) = delete;

  void* ReadEnd() const { return readEnd_; }
  void* WriteEnd() const { return writeEnd_; }
  void CloseReadEnd();
  void CloseWriteEnd();

  // Bytes waiting to be read, without waiting for more.
  size_t Available() const;
  // Reads exactly what is waiting.
  std::string ReadAvailable();
  void Write(std::string_view bytes);

 private:
  void* readEnd_ = nullptr;
  void* writeEnd_ = nullptr;
};

// While it lives, the process's standard output handle is `handle`'s
// (natively the descriptor behind it is copied onto descriptor 1); the old
// one comes back when it ends. Nothing may print in between.
class ScopedStandardOutput {
 public:
  explicit ScopedStandardOutput(void* handle);
  ~ScopedStandardOutput();
  ScopedStandardOutput(const ScopedStandardOutput&) = delete;
  ScopedStandardOutput& operator=(const ScopedStandardOutput&) = delete;

 private:
  void* saved_ = nullptr;
  int savedFd_ = -1;
};

// For a child that is about to die: its standard output goes where its
// standard error goes, where a death test looks.
void SendStandardOutputToStandardError();
