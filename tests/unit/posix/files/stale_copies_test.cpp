// Temporaries left by runs that died while copying are removed by the next
// copy into the same folder; temporaries still being written never are.
#include <fcntl.h>
#include <sys/syscall.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/files/copy_file.h"
#include "platform/win32.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr char kName[] = "XNMPAYRO.exe";

std::set<std::string> TemporariesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const std::string& name : EntriesOf(folder)) {
    if (posix::IsTemporaryNameOf(name, kName)) names.insert(name);
  }
  return names;
}

// Whether `name` in the folder is the file open as `fd`.
bool NameLeadsTo(int folder, const std::string& name, int fd) {
  struct stat named {};
  struct stat open {};
  return ::fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

class StaleCopiesTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = ::open(temp_.Path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder_, 0);
  }
  void TearDown() override { ::close(folder_); }

  // What a run killed in the middle of its copy leaves: a child creates a
  // temporary, writes into it and is killed before it can clean up.
  std::string TemporaryOfAKilledWriter() {
    int names[2];
    EXPECT_EQ(::pipe(names), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(names[0]);
      posix::TemporaryCopy copy;
      if (copy.Create(folder_, kName) != 0) ::_exit(1);
      const std::string& name = copy.Name();
      if (::write(copy.Descriptor(), "half a program", 14) != 14) ::_exit(1);
      if (::write(names[1], name.data(), name.size()) != static_cast<ssize_t>(name.size())) ::_exit(1);
      ::raise(SIGKILL);
      ::_exit(1);
    }
    ::close(names[1]);
    char buffer[256];
    const ssize_t got = ::read(names[0], buffer, sizeof buffer);
    ::close(names[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
  }

  TempFolder temp_;
  int folder_ = -1;
};

TEST(TemporaryNames, OnlyTheDestinationsOwnAreRecognised) {
  struct Case {
    const char* entry;
    bool temporary;
  } cases[] = {
      {".XNMPAYRO.exe.rud-Ab3xZ9", true},
      {".XNMPAYRO.exe.rud-000000", true},
      {"XNMPAYRO.exe", false},
      {".XNMPAYRO.exe.rud-Ab3xZ", false},    // suffix too short
      {".XNMPAYRO.exe.rud-Ab3xZ99", false},  // suffix too long
      {".XNMPAYRO.exe.rud-Ab3_Z9", false},   // not a letter or digit
      {".XNMPAYRO.exe.rud-Ab3.Z9", false},
      {".xnmpayro.exe.rud-Ab3xZ9", false},   // another destination's, by case
      {".XNMPAYRO.ex.rud-Ab3xZ9", false},
      {"XNMPAYRO.exe.rud-Ab3xZ9", false},    // no leading dot
      {".XNMPAYRO.exe.tmp-Ab3xZ9", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    EXPECT_EQ(posix::IsTemporaryNameOf(c.entry, kName), c.temporary);
  }
  // Long names are cut in the temporary's name; the cut name is recognised.
  const std::string longName(240, 'L');
  EXPECT_TRUE(posix::IsTemporaryNameOf("." + std::string(200, 'L') + ".rud-abcdef", longName));
  EXPECT_FALSE(posix::IsTemporaryNameOf("." + longName + ".rud-abcdef", longName));
}

TEST_F(StaleCopiesTest, RemovesWhatDeadWritersLeftAndNothingElse) {
  const std::string killed = TemporaryOfAKilledWriter();
  ASSERT_TRUE(posix::IsTemporaryNameOf(killed, kName)) << killed;
  // An unlocked file under a temporary's name: a writer that died without
  // the lock ever being taken, or one from an older program.
  temp_.WriteFile(".XNMPAYRO.exe.rud-OLDone", "stale");

  // Left alone: a copy being written right now, whatever is not a regular
  // file under a temporary's name, other destinations' temporaries and
  // every other name.
  posix::TemporaryCopy live;
  ASSERT_EQ(live.Create(folder_, kName), 0);
  const fs::path victim = temp_.WriteFile("victim", "precious");
  fs::create_symlink(victim, temp_ / ".XNMPAYRO.exe.rud-Link01");
  ASSERT_EQ(::mkfifo((temp_ / ".XNMPAYRO.exe.rud-Fifo01").c_str(), 0600), 0);
  fs::create_directory(temp_ / ".XNMPAYRO.exe.rud-Fold01");
  temp_.WriteFile(".XNMOTHER.exe.rud-Ab3xZ9", "other");
  temp_.WriteFile(".XNMPAYRO.exe.rud-short", "not ours");
  temp_.WriteFile("XNMPAYRO.exe", "installed");
  std::set<std::string> kept = EntriesOf(temp_.Path());
  kept.erase(killed);
  kept.erase(".XNMPAYRO.exe.rud-OLDone");

  // A writer waiting for the FIFO's reader: no cleaner may be that reader.
  const fs::path fifo = temp_ / ".XNMPAYRO.exe.rud-Fifo01";
  std::atomic<bool> writerWentOn{false};
  std::atomic<pid_t> writerThread{0};
  std::thread writer([&] {
    writerThread = ::gettid();
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    writerWentOn = true;
    if (fd >= 0) ::close(fd);
  });
  // The kernel shows a thread blocked in a call by the call's number (a
  // running one as "running"): the writer waits in its open by now.
  const auto blockedInOpen = [&] {
    return writerThread != 0 &&
           ReadFileBytes("/proc/self/task/" + std::to_string(writerThread) + "/syscall")
               .starts_with(std::to_string(SYS_openat) + " ");
  };
  while (!blockedInOpen()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

  EXPECT_EQ(posix::RemoveStaleCopies(folder_, kName), 2);

  for (int wait = 0; wait < 20 && !writerWentOn; ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_FALSE(writerWentOn);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  writer.join();
  ::close(reader);
  EXPECT_EQ(EntriesOf(temp_.Path()), kept);
  EXPECT_TRUE(NameLeadsTo(folder_, live.Name(), live.Descriptor()));
  EXPECT_EQ(ReadFileBytes(victim), "precious");
  EXPECT_EQ(ReadFileBytes(temp_ / "XNMPAYRO.exe"), "installed");
  EXPECT_EQ(posix::RemoveStaleCopies(folder_, kName), 0);
}

TEST_F(StaleCopiesTest, AFolderWithoutTemporariesIsLeftAsItIs) {
  temp_.WriteFile("XNMPAYRO.exe", "installed");
  EXPECT_EQ(posix::RemoveStaleCopies(folder_, kName), 0);
  EXPECT_EQ(EntriesOf(temp_.Path()), std::set<std::string>{"XNMPAYRO.exe"});
}

// Writers and cleaners at full speed in one folder: a writer must keep its
// temporary from the moment Create returns until it puts it in place or
// drops it, while a third party keeps planting unlocked temporaries (files
// caught between their creation and their writer's lock) for the cleaners.
TEST_F(StaleCopiesTest, CleanersNeverTakeALiveCopy) {
  constexpr int kWriters = 2;
  constexpr int kRounds = 1500;
  std::atomic<bool> writing{true};
  std::atomic<int> lost{0};
  std::atomic<int> misplaced{0};
  std::atomic<int> attempts{0};
  std::atomic<int> removed{0};

  auto writer = [&](int id) {
    const std::string final = "final-" + std::to_string(id);
    for (int round = 0; round < kRounds; ++round) {
      posix::TemporaryCopy copy;
      const int failure = copy.Create(folder_, kName, [&] {
        ++attempts;
        return posix::RandomNameSuffix();
      });
      if (failure != 0) {
        ++lost;
        continue;
      }
      const std::string content = std::to_string(id) + ":" + std::to_string(round);
      if (::write(copy.Descriptor(), content.data(), content.size()) !=
          static_cast<ssize_t>(content.size())) {
        ++lost;
      }
      if (!NameLeadsTo(folder_, copy.Name(), copy.Descriptor())) ++lost;
      std::this_thread::yield();
      if (!NameLeadsTo(folder_, copy.Name(), copy.Descriptor())) ++lost;
      if (round % 2 == 0) {
        if (copy.Replace(final, false) != 0 || ReadFileBytes(temp_ / final) != content) ++misplaced;
      }
    }
  };
  auto cleaner = [&] {
    while (writing) removed += posix::RemoveStaleCopies(folder_, kName);
  };
  // A few dozen planted files at a time keep the folder small.
  auto planter = [&] {
    int planted = 0;
    while (writing) {
      if (planted - removed > 32) {
        std::this_thread::yield();
        continue;
      }
      const std::string name = ".XNMPAYRO.exe.rud-" + posix::RandomNameSuffix();
      const int fd = ::openat(folder_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        ::close(fd);
        ++planted;
      }
    }
  };

  std::vector<std::thread> threads;
  threads.emplace_back(cleaner);
  threads.emplace_back(cleaner);
  threads.emplace_back(planter);
  std::vector<std::thread> writers;
  for (int id = 0; id < kWriters; ++id) writers.emplace_back(writer, id);
  for (std::thread& thread : writers) thread.join();
  writing = false;
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(lost, 0);
  EXPECT_EQ(misplaced, 0);
  EXPECT_GT(removed, 0);
  // Retries show how often a writer met a cleaner between create and lock.
  RecordProperty("create_retries", attempts - kWriters * kRounds);
  posix::RemoveStaleCopies(folder_, kName);
  EXPECT_EQ(TemporariesIn(temp_.Path()), std::set<std::string>{});
}

// Whole copies at once into one destination, each also cleaning the folder
// on its way in: every one succeeds and the result is the source, whole.
TEST_F(StaleCopiesTest, ConcurrentCopiesOfOneFileAllSucceed) {
  ::setenv("RUD_DRIVE_Q", temp_.Path().c_str(), 1);
  const std::string image(2 << 20, 'i');
  const fs::path source = temp_.WriteFile("srv/XNMPAYRO.exe", image);
  fs::create_directories(temp_ / "ZARVEK");
  temp_.WriteFile("ZARVEK/.XNMPAYRO.exe.rud-DEAD00", "left by a killed run");

  constexpr int kThreads = 6;
  constexpr int kCopies = 5;
  std::atomic<int> failures{0};
  std::atomic<DWORD> lastFailure{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int n = 0; n < kCopies; ++n) {
        if (!CopyFileW(W(u"Q:\\srv\\XNMPAYRO.exe"), W(u"Q:\\ZARVEK\\XNMPAYRO.exe"), FALSE)) {
          ++failures;
          lastFailure = GetLastError();
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ::unsetenv("RUD_DRIVE_Q");

  EXPECT_EQ(failures, 0) << "last error " << lastFailure;
  EXPECT_EQ(ReadFileBytes(temp_ / "ZARVEK/XNMPAYRO.exe"), image);
  EXPECT_EQ(EntriesOf(temp_ / "ZARVEK"), std::set<std::string>{"XNMPAYRO.exe"});
}

}  // namespace
