#include <fcntl.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/posix/files/handle.h"
#include "platform/posix/process/std_handles.h"
#include "platform/win32.h"
#include "support/temp_folder.h"
#include "support/test_pipe.h"

namespace {

// A FileObject over a descriptor, closed with the test.
class OwnedHandle {
 public:
  explicit OwnedHandle(int fd) : object_(new posix::FileObject(fd, std::string())) {}
  ~OwnedHandle() { CloseHandle(object_); }
  HANDLE get() const { return object_; }

 private:
  posix::FileObject* object_;
};

// A descriptor number that is free right now.
int FreeDescriptor() {
  int fd = dup(0);
  close(fd);
  return fd;
}

TEST(GetFileType, ByKindOfFile) {
  TempFolder folder;
  std::filesystem::path file = folder.WriteFile("a.txt", "x");
  int sockets[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sockets), 0);
  OwnedHandle socketEnd(sockets[0]);
  OwnedHandle otherSocketEnd(sockets[1]);
  TestPipe pipe;
  OwnedHandle regular(open(file.c_str(), O_RDONLY));
  OwnedHandle folderItself(open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY));
  OwnedHandle nullDevice(open("/dev/null", O_RDWR));
  OwnedHandle terminal(posix_openpt(O_RDWR | O_NOCTTY));

  struct Case {
    const char* name;
    HANDLE handle;
    DWORD type;
  } cases[] = {
      {"regular file", regular.get(), FILE_TYPE_DISK},
      {"folder", folderItself.get(), FILE_TYPE_DISK},
      {"pipe", pipe.WriteEnd(), FILE_TYPE_PIPE},
      {"socket", socketEnd.get(), FILE_TYPE_PIPE},
      {"null device", nullDevice.get(), FILE_TYPE_CHAR},
      {"terminal", terminal.get(), FILE_TYPE_CHAR},
      {"invalid handle", INVALID_HANDLE_VALUE, FILE_TYPE_UNKNOWN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetFileType(c.handle), c.type);
  }
}

TEST(GetFileType, AClosedDescriptorIsUnknown) {
  posix::FileObject closed(FreeDescriptor(), std::string());
  EXPECT_EQ(GetFileType(&closed), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WriteFile, FailuresCarryTheirWindowsCodes) {
  TempFolder folder;
  std::filesystem::path file = folder.WriteFile("a.txt", "x");
  TestPipe pipe;
  pipe.CloseReadEnd();
  OwnedHandle full(open("/dev/full", O_WRONLY));
  OwnedHandle readOnly(open(file.c_str(), O_RDONLY));
  posix::FileObject closed(FreeDescriptor(), std::string());

  struct Case {
    const char* name;
    HANDLE handle;
    DWORD code;
  } cases[] = {
      {"pipe without a reader", pipe.WriteEnd(), ERROR_NO_DATA},
      {"full device", full.get(), ERROR_DISK_FULL},
      {"file open for reading", readOnly.get(), ERROR_INVALID_HANDLE},
      {"closed descriptor", &closed, ERROR_INVALID_HANDLE},
      {"invalid handle", INVALID_HANDLE_VALUE, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD written = 99;
    SetLastError(0);
    EXPECT_FALSE(WriteFile(c.handle, "abc", 3, &written, nullptr));
    EXPECT_EQ(GetLastError(), c.code);
    EXPECT_EQ(written, 0u);
  }
}

TEST(WriteFile, WritesEverythingEvenToANonBlockingPipe) {
  TestPipe pipe;
  int writeFd = static_cast<posix::FileObject*>(pipe.WriteEnd())->fd;
  int readFd = static_cast<posix::FileObject*>(pipe.ReadEnd())->fd;
  fcntl(writeFd, F_SETFL, O_NONBLOCK);
  fcntl(writeFd, F_SETPIPE_SZ, 4096);
  std::string bytes(20000, 'q');
  // A reader drains the pipe meanwhile, as a console reader would.
  pid_t reader = fork();
  if (reader == 0) {
    char buffer[1024];
    size_t total = 0;
    while (total < bytes.size()) {
      ssize_t got = read(readFd, buffer, sizeof buffer);
      if (got <= 0) _exit(1);
      total += static_cast<size_t>(got);
    }
    _exit(0);
  }
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(pipe.WriteEnd(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  EXPECT_EQ(written, bytes.size());
  int status = 0;
  waitpid(reader, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(ReadFile, ReadsWhatIsThereAndZeroAtTheEnd) {
  TestPipe pipe;
  pipe.Write("hello");
  pipe.CloseWriteEnd();
  char buffer[128];
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(pipe.ReadEnd(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(std::string(buffer, read), "hello");
  EXPECT_TRUE(ReadFile(pipe.ReadEnd(), buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(read, 0u);

  posix::FileObject closed(FreeDescriptor(), std::string());
  EXPECT_FALSE(ReadFile(&closed, buffer, sizeof buffer, &read, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(StandardStreamObject, AClosedDescriptorIsUnusableAndItsNumberStaysTaken) {
  int number = FreeDescriptor();
  posix::StandardStreamObject standard(number);
  EXPECT_GE(fcntl(number, F_GETFD), 0) << "the number is free for the next file";
  EXPECT_EQ(GetFileType(&standard), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  EXPECT_FALSE(WriteFile(&standard, "x", 1, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  close(number);
}

TEST(StandardStreamObject, ClosingMakesItUnusableButKeepsTheObject) {
  TestPipe pipe;
  int number = dup(static_cast<posix::FileObject*>(pipe.WriteEnd())->fd);
  posix::StandardStreamObject standard(number);
  EXPECT_EQ(GetFileType(&standard), static_cast<DWORD>(FILE_TYPE_PIPE));
  EXPECT_TRUE(CloseHandle(&standard));
  EXPECT_EQ(GetFileType(&standard), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
  EXPECT_GE(fcntl(number, F_GETFD), 0);
  close(number);
}

TEST(GetStdHandle, TheThreeStandardHandlesAndNoOther) {
  EXPECT_NE(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
  EXPECT_NE(GetStdHandle(STD_OUTPUT_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
  EXPECT_EQ(static_cast<posix::FileObject*>(GetStdHandle(STD_ERROR_HANDLE))->fd, 2);
  EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), INVALID_HANDLE_VALUE);
}

}  // namespace
