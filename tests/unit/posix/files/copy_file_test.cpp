#include "platform/posix/files/copy_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "platform/fault_handler.h"
#include "platform/stop_signals.h"
#include "platform/posix/files/share_bounds.h"
#include "platform/win32.h"
#include "support/pe_writer.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kServerCopy[] = u"Q:\\srv\\Garh\\NM\\bin\\XNMPAYRO.exe";
constexpr char16_t kLocalCopy[] = u"Q:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe";

// Drive Q is the temporary folder: the server under srv/, the install root
// under ZARVEK/.
class CopyFileTest : public ::testing::Test {
 public:
  void SetUp() override { ::setenv("RUD_DRIVE_Q", temp_.Path().c_str(), 1); }
  void TearDown() override { ::unsetenv("RUD_DRIVE_Q"); }

  fs::path Server() const { return temp_ / "srv/Garh/NM/bin/XNMPAYRO.exe"; }
  fs::path Local() const { return temp_ / "ZARVEK/Garh/NM/bin/XNMPAYRO.exe"; }
  fs::path LocalFolder() const { return temp_ / "ZARVEK/Garh/NM/bin"; }

  fs::path WriteServer(const std::string& bytes, mode_t mode) const {
    fs::path path = temp_.WriteFile("srv/Garh/NM/bin/XNMPAYRO.exe", bytes);
    ::chmod(path.c_str(), mode);
    return path;
  }
  fs::path WriteLocal(const std::string& bytes, mode_t mode) const {
    fs::path path = temp_.WriteFile("ZARVEK/Garh/NM/bin/XNMPAYRO.exe", bytes);
    ::chmod(path.c_str(), mode);
    return path;
  }

  TempFolder temp_;
};

struct stat StatOf(const fs::path& path) {
  struct stat facts {};
  EXPECT_EQ(::stat(path.c_str(), &facts), 0) << path;
  return facts;
}

void SetTimes(const fs::path& path, timespec access, timespec write) {
  const timespec times[2] = {access, write};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::string Bytes(size_t count, char fill) { return std::string(count, fill); }

TEST_F(CopyFileTest, NewCopyCarriesBytesModeAndTimes) {
  const std::string image = "MZ" + Bytes(300000, 'n');
  const fs::path server = WriteServer(image, 0750);
  SetTimes(server, {1600000000, 123456789}, {1700000000, 987654321});
  fs::create_directories(LocalFolder());

  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();

  // Looked at before reading: a read may move the access time.
  const struct stat facts = StatOf(Local());
  EXPECT_EQ(ReadFileBytes(Local()), image);
  EXPECT_EQ(facts.st_mode & 07777, 0750u);
  EXPECT_EQ(facts.st_mtim.tv_sec, 1700000000);
  EXPECT_EQ(facts.st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(facts.st_atim.tv_sec, 1600000000);
  EXPECT_EQ(facts.st_atim.tv_nsec, 123456789);
  EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{"XNMPAYRO.exe"});
}

TEST_F(CopyFileTest, EmptySourceGivesEmptyCopy) {
  WriteServer("", 0644);
  WriteLocal("old", 0644);
  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();
  EXPECT_EQ(ReadFileBytes(Local()), "");
}

// The local program must not become replaceable by other users: a new copy
// takes the owner's read and write bits and the server's read and execute
// bits, whatever the umask; a replaced copy keeps its own bits. Neither is ever
// writable by others, set-user-ID, set-group-ID or sticky.
TEST_F(CopyFileTest, ModeOfTheLocalCopy) {
  struct Case {
    const char* what;
    mode_t server;
    mode_t local;  // 0: no local copy
    mode_t umask;
    mode_t expected;
  } cases[] = {
      {"new from a 0777 share", 0777, 0, 022, 0755},
      {"new from a read-only share", 0555, 0, 022, 0755},
      {"new from a private share", 0700, 0, 022, 0700},
      {"new with set-ID bits on the share", 07755, 0, 022, 0755},
      // A first copy's mode is the run's own choice of no one: the umask of
      // a root job or of a user's login does not reach it.
      {"new under a private umask", 0755, 0, 077, 0755},
      {"new under a umask without the owner's write", 0555, 0, 0222, 0755},
      {"new under an open umask", 0777, 0, 0, 0755},  // write comes from no share
      {"replaced keeps its bits", 07755, 0644, 022, 0644},
      {"replaced 0777 of an earlier build", 0755, 0777, 022, 0775},
      {"replaced set-user-ID", 0755, 04755, 022, 0755},
      {"replaced with its owner's bits only", 0777, 0700, 0, 0700},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ignored;
    fs::remove_all(temp_ / "ZARVEK", ignored);
    fs::remove_all(temp_ / "srv", ignored);
    fs::create_directories(LocalFolder());
    const fs::path server = WriteServer("new server image", c.server);
    SetTimes(server, {1690000000, 5}, {1690000000, 999999999});
    if (c.local != 0) WriteLocal("old local image", c.local);
    const mode_t previousMask = ::umask(c.umask);

    const BOOL copied = CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE);
    ::umask(previousMask);
    ASSERT_TRUE(copied) << GetLastError();

    EXPECT_EQ(ReadFileBytes(Local()), "new server image");
    const struct stat facts = StatOf(Local());
    EXPECT_EQ(facts.st_mode & 07777, c.expected);
    EXPECT_EQ(facts.st_mtim.tv_sec, 1690000000);
    EXPECT_EQ(facts.st_mtim.tv_nsec, 999999999);
    EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{"XNMPAYRO.exe"});
  }
}

// Installed by root for everybody, updated by root: the program stays the
// installer's, not the updater's.
TEST_F(CopyFileTest, ReplacedCopyKeepsItsOwnerAndGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "only the superuser may give a file to another owner";
  WriteServer("new", 0755);
  const fs::path local = WriteLocal("old", 0755);
  ASSERT_EQ(::chown(local.c_str(), 65534, 65534), 0);

  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();

  const struct stat facts = StatOf(local);
  EXPECT_EQ(ReadFileBytes(local), "new");
  EXPECT_EQ(facts.st_uid, 65534u);
  EXPECT_EQ(facts.st_gid, 65534u);
  EXPECT_EQ(facts.st_mode & 07777, 0755u);
}

// Windows writes through a link: the file it leads to is replaced, beside
// itself, and the link stays. A link that can't be followed at all
// (dangling, or to a file on no drive) is replaced itself, as a missing file
// is; any other failure on the way to its target leaves it, and so does a
// link to a device. A link that another user planted, on the file or on its
// folder, or one that has a second name, is never written through.
TEST_F(CopyFileTest, LinkedDestinationIsReplacedAtItsTarget) {
  TempFolder elsewhere;  // on no drive once drive Z: is unmapped
  const fs::path outside = elsewhere.WriteFile("XNMPAYRO.exe", "old");
  enum Outcome { kThrough, kReplaced, kRefused };
  enum Made { kOwn, kPlanted, kSecondName };  // kPlanted: another user's (set up by root)
  struct Case {
    const char* what;
    fs::path target;
    bool folderLink;  // the program's folder is the link, else the program
    Made made;
    Outcome outcome;
    DWORD refusal = ERROR_ACCESS_DENIED;
  } cases[] = {
      {"link to a shared install", temp_ / "shared/XNMPAYRO.exe", false, kOwn, kThrough},
      {"link through a link", temp_ / "chain", false, kOwn, kThrough},
      {"dangling link", temp_ / "shared/gone.exe", false, kOwn, kReplaced},
      {"link to a device", "/dev/null", false, kOwn, kRefused},
      {"link to a file on no drive", outside, false, kOwn, kReplaced},
      {"link through a file", temp_ / "shared/XNMPAYRO.exe/x", false, kOwn, kRefused,
       ERROR_PATH_NOT_FOUND},
      {"link another user planted", temp_ / "shared/XNMPAYRO.exe", false, kPlanted, kRefused},
      {"folder link another user planted", temp_ / "shared", true, kPlanted, kRefused},
      {"own link with a second name", temp_ / "shared/XNMPAYRO.exe", false, kSecondName, kRefused},
  };
  std::string needRoot;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.made == kPlanted && ::geteuid() != 0) {
      needRoot += std::string(" ") + c.what + ";";  // another user's link
      continue;
    }
    std::error_code ignored;
    fs::remove_all(temp_ / "ZARVEK", ignored);
    fs::remove_all(temp_ / "shared", ignored);
    fs::remove(temp_ / "chain", ignored);
    fs::remove(temp_ / "first", ignored);
    const fs::path shared = temp_.WriteFile("shared/XNMPAYRO.exe", "old");
    ::chmod(shared.c_str(), 0750);
    fs::create_symlink(shared, temp_ / "chain");
    WriteServer("new", 0755);
    const fs::path link = c.folderLink ? LocalFolder() : Local();
    fs::create_directories(link.parent_path());
    if (c.made == kSecondName) {
      // A hard link to a link names the link itself, not its target.
      fs::create_symlink(c.target, temp_ / "first");
      ASSERT_EQ(::linkat(AT_FDCWD, (temp_ / "first").c_str(), AT_FDCWD, link.c_str(), 0), 0);
    } else {
      fs::create_symlink(c.target, link);
    }
    if (c.made == kPlanted) {
      ASSERT_EQ(::lchown(link.c_str(), 65534, 65534), 0);
    }
    if (c.target == outside) ::setenv("RUD_DRIVE_Z", "", 1);

    SetLastError(0);
    const BOOL copied = CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE);
    ::unsetenv("RUD_DRIVE_Z");
    EXPECT_EQ(copied, c.outcome != kRefused);
    if (c.outcome == kRefused) {
      EXPECT_EQ(GetLastError(), c.refusal);
    }
    EXPECT_EQ(fs::is_symlink(link), c.outcome != kReplaced);
    if (c.outcome == kReplaced) {
      // The link is gone, the copy in its place; its target is untouched.
      EXPECT_EQ(ReadFileBytes(Local()), "new");
      EXPECT_EQ(ReadFileBytes(outside), "old");
      continue;
    }
    EXPECT_EQ(ReadFileBytes(shared), c.outcome == kThrough ? "new" : "old");
    EXPECT_EQ(StatOf(shared).st_mode & 07777, 0750u);  // the target's own bits
    EXPECT_EQ(EntriesOf(temp_ / "shared"), std::set<std::string>{"XNMPAYRO.exe"});
  }
  if (!needRoot.empty()) GTEST_SKIP() << "needs root:" << needRoot;
}

// A FIFO or a device in the server copy's place is never opened: the copy
// neither waits for a writer nor reads the device.
TEST_F(CopyFileTest, SourceThatIsNoFileIsNotOpened) {
  WriteLocal("old", 0755);
  fs::create_directories(temp_ / "srv/Garh/NM/bin");
  ASSERT_EQ(::mkfifo(Server().c_str(), 0644), 0);
  SetLastError(0);
  EXPECT_FALSE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  // Through a link the same.
  fs::remove(Server());
  fs::create_symlink("/dev/zero", Server());
  EXPECT_FALSE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadFileBytes(Local()), "old");
  EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{"XNMPAYRO.exe"});
}

TEST_F(CopyFileTest, ProgramRunningFromOldCopyKeepsItsImage) {
  const fs::path local = WriteLocal("old image", 0755);
  WriteServer("new image!", 0755);
  const int running = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(running, 0);

  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();

  char seen[32] = {};
  EXPECT_EQ(::pread(running, seen, sizeof seen, 0), 9);
  EXPECT_EQ(std::string(seen), "old image");
  ::close(running);
  EXPECT_EQ(ReadFileBytes(local), "new image!");
}

// The version line shows one file and the copy installs that one, even if
// the share puts another file under the name in between; a later copy opens
// the name afresh.
TEST_F(CopyFileTest, CopyTakesTheFileWhoseVersionWasRead) {
  const std::string shown =
      BuildExecutable(PeKind::Pe32, SpanishVersionResource({{u"FileVersion", u"2.0.0.0"}}));
  WriteServer(shown, 0644);
  SetTimes(Server(), {1600000000, 0}, {1700000000, 123456700});
  ASSERT_GT(GetFileVersionInfoSizeW(W(kServerCopy), nullptr), 0u) << GetLastError();
  fs::rename(temp_.WriteFile("srv/published.exe", "MZ" + Bytes(5000, 'p')), Server());
  fs::create_directories(LocalFolder());

  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();
  EXPECT_EQ(ReadFileBytes(Local()), shown);
  EXPECT_EQ(StatOf(Local()).st_mtim.tv_nsec, 123456700);

  ASSERT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE)) << GetLastError();
  EXPECT_EQ(ReadFileBytes(Local()), "MZ" + Bytes(5000, 'p'));
}

// A build published by renaming it over the name after the open is not the
// file that was opened, which still lies in the share: where the name leads
// now does not decide.
TEST_F(CopyFileTest, AFileOpenInItsShareStaysThereWhenItsNameMoves) {
  const fs::path opened = WriteServer("shown", 0644);
  const int fd = ::open(opened.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  fs::rename(temp_.WriteFile("srv/published.exe", "new"), opened);
  EXPECT_FALSE(posix::LeavesItsShare(W(kServerCopy), opened.string(), fd));
  ::close(fd);
}

TEST_F(CopyFileTest, FailIfExistsOnlyWhereThereIsNoFile) {
  WriteServer("new", 0755);
  fs::create_directories(LocalFolder());
  EXPECT_TRUE(CopyFileW(W(kServerCopy), W(kLocalCopy), TRUE)) << GetLastError();
  EXPECT_EQ(ReadFileBytes(Local()), "new");
}

// Every failure leaves the old local copy as it was and no temporary behind.
TEST_F(CopyFileTest, FailuresKeepOldCopyAndLeaveNoTemporary) {
  struct Case {
    const char* what;
    std::function<void(CopyFileTest&)> arrange;
    const char16_t* from;
    const char16_t* to;
    BOOL failIfExists;
    DWORD code;
  } cases[] = {
      {"read-only destination",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0444);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_ACCESS_DENIED},
      // Its owner took the write bit away: read-only, whoever else may write.
      {"destination its owner may not write",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0577);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_ACCESS_DENIED},
      {"fail if exists",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0755);
       },
       kServerCopy, kLocalCopy, TRUE, ERROR_FILE_EXISTS},
      {"missing source",
       [](CopyFileTest& t) {
         fs::create_directories(t.temp_ / "srv/Garh/NM/bin");
         t.WriteLocal("old", 0755);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_FILE_NOT_FOUND},
      {"missing source folder",
       [](CopyFileTest& t) { t.WriteLocal("old", 0755); },
       kServerCopy, kLocalCopy, FALSE, ERROR_PATH_NOT_FOUND},
      {"missing destination folder",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0755);
       },
       kServerCopy, u"Q:\\ZARVEK\\Garh\\NM\\lib\\XNMPAYRO.exe", FALSE, ERROR_PATH_NOT_FOUND},
      {"source is a folder",
       [](CopyFileTest& t) {
         fs::create_directories(t.Server());
         t.WriteLocal("old", 0755);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_ACCESS_DENIED},
      {"destination is a folder",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0755);
         fs::create_directories(t.LocalFolder() / "sub");
       },
       kServerCopy, u"Q:\\ZARVEK\\Garh\\NM\\bin\\sub", FALSE, ERROR_ACCESS_DENIED},
      {"copy onto itself",
       [](CopyFileTest& t) { t.WriteLocal("old", 0755); },
       kLocalCopy, kLocalCopy, FALSE, ERROR_SHARING_VIOLATION},
      // A file that reads differently from the size it showed is what a
      // source rewritten while it is copied looks like.
      {"source not matching its size",
       [](CopyFileTest& t) { t.WriteLocal("old", 0755); },
       u"/proc/self/status", kLocalCopy, FALSE, ERROR_SHARING_VIOLATION},
      // Rewritten in place after its version was read, the same size, its
      // last-write time put back (until the kernel's coarse clock has moved
      // on from the read): only the change time tells.
      {"source rewritten with its time put back",
       [](CopyFileTest& t) {
         const std::string shown = BuildExecutable(PeKind::Pe32, SpanishVersionResource({}));
         t.WriteServer(shown, 0755);
         ASSERT_GT(GetFileVersionInfoSizeW(W(kServerCopy), nullptr), 0u) << GetLastError();
         const timespec read = StatOf(t.Server()).st_ctim, write = StatOf(t.Server()).st_mtim;
         std::ofstream(t.Server(), std::ios::binary | std::ios::in) << "MZ!";
         do SetTimes(t.Server(), write, write);
         while (StatOf(t.Server()).st_ctim.tv_nsec == read.tv_nsec);
         t.WriteLocal("old", 0755);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_SHARING_VIOLATION},
      // Drive Q: is mapped to a folder, as a network drive is: a link there
      // to a file of the workstation is not followed.
      {"source linked out of its drive",
       [](CopyFileTest& t) {
         fs::create_directories(t.Server().parent_path());
         fs::create_symlink("/etc/passwd", t.Server());
         t.WriteLocal("old", 0755);
       },
       kServerCopy, kLocalCopy, FALSE, ERROR_ACCESS_DENIED},
      {"drive without a mapping",
       [](CopyFileTest& t) {
         t.WriteServer("new", 0755);
         t.WriteLocal("old", 0755);
       },
       u"Y:\\srv\\XNMPAYRO.exe", kLocalCopy, FALSE, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::error_code ignored;
    fs::remove_all(temp_ / "srv", ignored);
    fs::remove_all(temp_ / "ZARVEK", ignored);
    c.arrange(*this);
    const std::set<std::string> entriesBefore = EntriesOf(LocalFolder());

    SetLastError(0);
    EXPECT_FALSE(CopyFileW(W(c.from), W(c.to), c.failIfExists));
    EXPECT_EQ(GetLastError(), c.code);

    EXPECT_EQ(ReadFileBytes(Local()), "old");
    EXPECT_EQ(EntriesOf(LocalFolder()), entriesBefore);
    EXPECT_FALSE(fs::exists(temp_ / "ZARVEK/Garh/NM/lib"));
  }
}

// Past the file-size limit the kernel raises SIGXFSZ, which would end the
// process; under the program's fault handlers the copy must come back with a
// full disk instead. Run in a child so the limit and the handlers stay there.
TEST_F(CopyFileTest, FileSizeLimitIsAFullDisk) {
  WriteServer(Bytes(256 * 1024, 's'), 0755);
  WriteLocal("old", 0755);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstallFaultHandlers([](FatalFault, const void*) { ::_exit(203); });
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 16 * 1024;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(201);
    const BOOL copied = CopyFileW(W(kServerCopy), W(kLocalCopy), FALSE);
    const DWORD code = GetLastError();
    // The caller's signal mask comes back as it was, with nothing pending.
    sigset_t mask;
    sigset_t pending;
    ::pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    ::sigpending(&pending);
    if (sigismember(&mask, SIGXFSZ) || sigismember(&pending, SIGXFSZ)) ::_exit(202);
    ::_exit(copied ? 200 : static_cast<int>(code & 0xFF));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ERROR_DISK_FULL));
  EXPECT_EQ(ReadFileBytes(Local()), "old");
  EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{"XNMPAYRO.exe"});
}

// The temporary copy is the owner's alone until it is sealed, whatever the
// umask, and a file or link already at its name is left alone.
TEST_F(CopyFileTest, TemporaryIsPrivateUntilSealed) {
  const fs::path server = WriteServer(Bytes(70000, 'p'), 0755);
  fs::create_directories(LocalFolder());
  const int folder = ::open(LocalFolder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);
  const int source = ::open(server.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(source, 0);
  const mode_t previousMask = ::umask(0);
  std::string temporaryName;
  {
    posix::TemporaryCopy copy;
    ASSERT_EQ(copy.Create(folder, "XNMPAYRO.exe"), 0);
    temporaryName = copy.Name();
    EXPECT_EQ(temporaryName.rfind(".XNMPAYRO.exe.rud-", 0), 0u) << temporaryName;
    struct stat facts {};
    ASSERT_EQ(::fstat(copy.Descriptor(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 07777, 0600u);

    off_t copied = 0;
    ASSERT_EQ(copy.Fill(source, copied), 0);
    EXPECT_EQ(copied, 70000);
    ASSERT_EQ(::fstat(copy.Descriptor(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 07777, 0600u);
    EXPECT_FALSE(fs::exists(Local()));
  }
  ::umask(previousMask);
  // Abandoned before it took the destination's place: gone.
  EXPECT_FALSE(fs::exists(LocalFolder() / temporaryName));
  ::close(source);
  ::close(folder);
}

// A stop signal in the middle of a copy: the temporary goes at once and the
// old copy stays whole; once the new copy is in place, it stays.
TEST_F(CopyFileTest, StopSignalRemovesTheTemporaryButNeverTheCopyInPlace) {
  struct Row {
    const char* name;
    bool replaced;  // the signal comes after the copy took its place
    std::string localAfter;
  } rows[] = {
      {"while the temporary is written", false, "old image"},
      {"after the copy took its place", true, "new image!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path server = WriteServer("new image!", 0755);
    WriteLocal("old image", 0755);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      InstallStopHandlers([] {});
      const int folder = ::open(LocalFolder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
      const int source = ::open(server.c_str(), O_RDONLY | O_CLOEXEC);
      posix::TemporaryCopy copy;
      off_t copied = 0;
      if (folder < 0 || source < 0 || copy.Create(folder, "XNMPAYRO.exe") != 0 ||
          copy.Fill(source, copied) != 0) {
        ::_exit(3);
      }
      if (row.replaced && (copy.Seal(StatOf(server), nullptr) != 0 || copy.Replace("XNMPAYRO.exe", false) != 0)) {
        ::_exit(4);
      }
      ::raise(SIGTERM);
      ::_exit(5);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(EntriesOf(LocalFolder()), std::set<std::string>{"XNMPAYRO.exe"});
    EXPECT_EQ(ReadFileBytes(Local()), row.localAfter);
  }
}

TEST_F(CopyFileTest, LinkPlantedAtTemporaryNameIsNotFollowed) {
  fs::create_directories(LocalFolder());
  const fs::path victim = temp_.WriteFile("victim", "precious");
  fs::create_symlink(victim, LocalFolder() / ".XNMPAYRO.exe.rud-AAAAAA");
  fs::create_symlink(temp_ / "nowhere", LocalFolder() / ".XNMPAYRO.exe.rud-BBBBBB");
  const int folder = ::open(LocalFolder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(folder, 0);

  std::vector<std::string> names = {"AAAAAA", "BBBBBB", "CCCCCC"};
  size_t next = 0;
  {
    posix::TemporaryCopy copy;
    ASSERT_EQ(copy.Create(folder, "XNMPAYRO.exe", [&] { return names[next++]; }), 0);
    EXPECT_EQ(copy.Name(), ".XNMPAYRO.exe.rud-CCCCCC");
    ASSERT_EQ(::write(copy.Descriptor(), "attack", 6), 6);
  }
  EXPECT_EQ(ReadFileBytes(victim), "precious");
  EXPECT_FALSE(fs::exists(temp_ / "nowhere"));
  EXPECT_TRUE(fs::is_symlink(LocalFolder() / ".XNMPAYRO.exe.rud-AAAAAA"));
  EXPECT_TRUE(fs::is_symlink(LocalFolder() / ".XNMPAYRO.exe.rud-BBBBBB"));
  ::close(folder);
}

TEST_F(CopyFileTest, TemporaryNamesAreNotRepeated) {
  std::set<std::string> seen;
  for (int i = 0; i < 20; ++i) {
    const std::string suffix = posix::RandomNameSuffix();
    EXPECT_EQ(suffix.size(), 6u);
    for (char c : suffix) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << suffix;
    seen.insert(suffix);
  }
  EXPECT_EQ(seen.size(), 20u);
}

}  // namespace
