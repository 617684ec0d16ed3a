#include "support/test_pipe.h"

#include <stdexcept>

#include "platform/win32.h"

#ifdef _WIN32

TestPipe::TestPipe() {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, 0)) throw std::runtime_error("CreatePipe failed");
  readEnd_ = readEnd;
  writeEnd_ = writeEnd;
}

size_t TestPipe::Available() const {
  DWORD available = 0;
  if (!PeekNamedPipe(readEnd_, nullptr, 0, nullptr, &available, nullptr)) return 0;
  return available;
}

std::string TestPipe::ReadAvailable() {
  std::string bytes(Available(), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(readEnd_, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  bytes.resize(read);
  return bytes;
}

void TestPipe::Write(std::string_view bytes) {
  DWORD written = 0;
  WriteFile(writeEnd_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

ScopedStandardOutput::ScopedStandardOutput(void* handle) {
  saved_ = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, handle);
}

ScopedStandardOutput::~ScopedStandardOutput() { SetStdHandle(STD_OUTPUT_HANDLE, saved_); }

void SendStandardOutputToStandardError() {
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
}

#else

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/posix/files/handle.h"

namespace {

int FdOf(void* handle) { return static_cast<posix::FileObject*>(handle)->fd; }

}  // namespace

TestPipe::TestPipe() {
  signal(SIGPIPE, SIG_IGN);
  int ends[2];
  if (pipe(ends) != 0) throw std::runtime_error("pipe failed");
  readEnd_ = new posix::FileObject(ends[0], std::string());
  writeEnd_ = new posix::FileObject(ends[1], std::string());
}

size_t TestPipe::Available() const {
  int available = 0;
  if (ioctl(FdOf(readEnd_), FIONREAD, &available) != 0) return 0;
  return static_cast<size_t>(available);
}

std::string TestPipe::ReadAvailable() {
  std::string bytes(Available(), '\0');
  ssize_t got = bytes.empty() ? 0 : read(FdOf(readEnd_), bytes.data(), bytes.size());
  bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return bytes;
}

void TestPipe::Write(std::string_view bytes) {
  if (write(FdOf(writeEnd_), bytes.data(), bytes.size()) < 0) throw std::runtime_error("write failed");
}

ScopedStandardOutput::ScopedStandardOutput(void* handle) {
  std::fflush(stdout);
  savedFd_ = dup(1);
  dup2(FdOf(handle), 1);
}

ScopedStandardOutput::~ScopedStandardOutput() {
  dup2(savedFd_, 1);
  close(savedFd_);
}

void SendStandardOutputToStandardError() { dup2(2, 1); }

#endif

// Both ends are handles of the platform layer on either system.
TestPipe::~TestPipe() {
  CloseReadEnd();
  CloseWriteEnd();
}

void TestPipe::CloseReadEnd() {
  if (readEnd_ != nullptr) CloseHandle(readEnd_);
  readEnd_ = nullptr;
}

void TestPipe::CloseWriteEnd() {
  if (writeEnd_ != nullptr) CloseHandle(writeEnd_);
  writeEnd_ = nullptr;
}
