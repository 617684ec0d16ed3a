// The temporary file CopyFileW writes beside its destination, and the removal
// of those that runs killed in the middle of a copy left behind.
//
// Many runs may update the same folder at once, so a temporary must never be
// taken for stale while its writer lives. Its writer holds an exclusive flock
// on it from just after creating it until it has been renamed into place or
// removed; the kernel drops that lock when the writer dies, even by SIGKILL or
// a crash. A cleaner removes only a temporary it can lock without waiting, and
// only while it holds that lock, after checking that the name still leads to
// the file it locked.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/posix/files/copy_file.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/type_checked_open.h"
#include "platform/posix/process/stop_signals.h"

namespace posix {
namespace {

constexpr int kNameAttempts = 100;
// Room for ".", ".rud-" and the suffix within a 255-byte file name.
constexpr size_t kKeptNameBytes = 200;
constexpr size_t kSuffixLength = 6;
// As much as the kernel takes in one call: fewer calls, and a signal still
// cuts a call short, so a stop or a kill is not held up by a large file.
constexpr size_t kChunkBytes = size_t{1} << 30;
constexpr size_t kBufferBytes = size_t{1} << 16;

std::string TemporaryStem(const std::string& name) {
  return "." + name.substr(0, kKeptNameBytes) + ".rud-";
}

bool IsSuffixCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether `entry` in `folder` is still the file open as `fd`.
bool NameLeadsTo(int folder, const std::string& entry, int fd) {
  struct stat named;
  struct stat open;
  return StatusAt(folder, entry.c_str(), AT_SYMLINK_NOFOLLOW, named) == 0 &&
         StatusOf(fd, open) == 0 && SameFile(named, open);
}

// The kernel's copy is refused for some pairs of files (another file system,
// a file system without it); those are copied by reading and writing.
bool KernelCopyUnavailable(int errnoValue) {
  return errnoValue == EXDEV || errnoValue == EINVAL || errnoValue == ENOSYS ||
         errnoValue == EOPNOTSUPP || errnoValue == EBADF || errnoValue == ETXTBSY ||
         errnoValue == EPERM;
}

// Removes one temporary if nobody is writing it.
bool RemoveIfStale(int folder, const std::string& entry) {
  // Its type is known before anything is opened: a link planted under a
  // temporary's name is not followed, and a FIFO or a device is only named,
  // never opened (a FIFO's blocked writer would go on), nor removed.
  struct stat facts;
  const int fd = OpenTypeCheckedAt(folder, entry, O_RDONLY | O_NOFOLLOW, facts);
  if (fd < 0) return false;
  bool removed = false;
  if (S_ISREG(facts.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      // Between the open and the lock the name may have gone to another file
      // (its writer renamed it into place, or another cleaner removed it and a
      // new writer took the name): only the file locked here is removed.
      NameLeadsTo(folder, entry, fd)) {
    removed = ::unlinkat(folder, entry.c_str(), 0) == 0;
  }
  ::close(fd);
  return removed;
}

// The owner and group of the file being replaced, where this process may set
// them (root, CAP_CHOWN, or a group it belongs to); where it may not, the new
// file stays the updater's own, as cp -p and rsync -o leave it.
int KeepOwner(int fd, const struct stat& existing) {
  struct stat own;
  if (StatusOf(fd, own) != 0) return errno;
  if (own.st_uid == existing.st_uid && own.st_gid == existing.st_gid) return 0;
  if (::fchown(fd, existing.st_uid, existing.st_gid) == 0) return 0;
  if (errno != EPERM && errno != EINVAL) return errno;
  if (own.st_gid != existing.st_gid && ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) != 0 &&
      errno != EPERM && errno != EINVAL) {
    return errno;
  }
  return 0;
}

}  // namespace

std::string RandomNameSuffix() {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[kSuffixLength];
  if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
    // Early in boot the pool may not be ready; the exclusive create keeps
    // even a guessable name safe, so the clock will do.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long mix = static_cast<unsigned long long>(now.tv_nsec) ^
                             (static_cast<unsigned long long>(::getpid()) << 20);
    for (unsigned char& byte : bytes) {
      byte = static_cast<unsigned char>(mix);
      mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
      byte ^= static_cast<unsigned char>(mix >> 56);
    }
  }
  std::string suffix;
  for (unsigned char byte : bytes) suffix += kAlphabet[byte % (sizeof kAlphabet - 1)];
  return suffix;
}

bool IsTemporaryNameOf(const std::string& entry, const std::string& name) {
  const std::string stem = TemporaryStem(name);
  if (entry.size() != stem.size() + kSuffixLength || entry.compare(0, stem.size(), stem) != 0) {
    return false;
  }
  for (size_t i = stem.size(); i < entry.size(); ++i) {
    if (!IsSuffixCharacter(entry[i])) return false;
  }
  return true;
}

int RemoveStaleCopies(int folder, const std::string& name) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return 0;
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return 0;
  }
  // Collected first: removing entries while the folder is being read may
  // make the listing skip or repeat names.
  std::vector<std::string> candidates;
  while (const dirent* entry = ::readdir(entries)) {
    if (IsTemporaryNameOf(entry->d_name, name)) candidates.emplace_back(entry->d_name);
  }
  int removed = 0;
  for (const std::string& candidate : candidates) {
    if (RemoveIfStale(::dirfd(entries), candidate)) ++removed;
  }
  ::closedir(entries);
  return removed;
}

TemporaryCopy::~TemporaryCopy() {
  StopSignalsHeld held;
  // Removed while still locked, so no cleaner meets it half gone.
  if (!name_.empty() && !inPlace_) {
    ::unlinkat(folder_, name_.c_str(), 0);
    ForgetOnStop();
  }
  if (fd_ >= 0) ::close(fd_);
}

int TemporaryCopy::Create(int folder, const std::string& name, const SuffixSource& suffix) {
  // A stop signal that comes while the file is made waits until the stop
  // handler knows it, and then removes it.
  StopSignalsHeld held;
  folder_ = folder;
  const std::string stem = TemporaryStem(name);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const std::string candidate = stem + suffix();
    // O_EXCL never opens what is already there, a link included; O_NOFOLLOW
    // says the same for anyone reading this line.
    const int fd = ::openat(folder, candidate.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) {
      if (errno != EEXIST) return errno;
      continue;
    }
    // Until the lock is taken a cleaner may take the new file for stale. If
    // one holds it now, or has removed it already, it is that cleaner's: a
    // new name is tried. A file system without locks can't have cleaners
    // either (they remove only what they can lock), so the file is kept.
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const bool lockHeld = !locked && errno == EWOULDBLOCK;
    if (lockHeld || !NameLeadsTo(folder, candidate, fd)) {
      ::close(fd);
      continue;
    }
    fd_ = fd;
    name_ = candidate;
    RemoveOnStop(folder_, name_.c_str());
    return 0;
  }
  return EEXIST;
}

int TemporaryCopy::Fill(int source, off_t& copied) {
  copied = 0;
  bool kernelCopy = true;
  std::vector<char> buffer;
  for (;;) {
    if (kernelCopy) {
      off_t from = copied;
      off_t to = copied;
      const ssize_t moved = ::copy_file_range(source, &from, fd_, &to, kChunkBytes, 0);
      if (moved > 0) {
        copied += moved;
      } else if (moved == 0) {
        // Some file systems answer 0 before the end; reading confirms it.
        kernelCopy = false;
      } else if (errno == EINTR) {
        continue;
      } else if (KernelCopyUnavailable(errno)) {
        kernelCopy = false;
      } else {
        return errno;
      }
      continue;
    }
    if (buffer.empty()) buffer.resize(kBufferBytes);
    const ssize_t got = ::pread(source, buffer.data(), buffer.size(), copied);
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::pwrite(fd_, buffer.data() + done, static_cast<size_t>(got - done),
                                   copied + done);
      if (put < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (put == 0) return ENOSPC;
      done += put;
    }
    copied += got;
  }
}

mode_t LocalCopyMode(mode_t source, const struct stat* existing) {
  mode_t mode = existing != nullptr
                    ? existing->st_mode
                    : (S_IRUSR | S_IWUSR) | (source & (S_IRUSR | S_IXUSR | S_IRGRP | S_IXGRP |
                                                        S_IROTH | S_IXOTH));
  return mode & (S_IRWXU | S_IRWXG | S_IRWXO) & ~S_IWOTH;
}

int TemporaryCopy::Seal(const struct stat& source, const struct stat* existing) {
  // The owner first: a change of owner clears the set-ID bits, and the mode
  // below is final.
  if (existing != nullptr) {
    if (int failure = KeepOwner(fd_, *existing)) return failure;
  }
  if (::fchmod(fd_, LocalCopyMode(source.st_mode, existing)) != 0) return errno;
  const timespec times[2] = {source.st_atim, source.st_mtim};
  if (::futimens(fd_, times) != 0) return errno;
  if (::fsync(fd_) != 0) return errno;
  return 0;
}

int TemporaryCopy::Replace(const std::string& name, bool keepExisting) {
  // Once the file has its new name a stop must not remove the old one.
  StopSignalsHeld held;
  if (!keepExisting) {
    if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) return errno;
  } else if (::renameat2(folder_, name_.c_str(), folder_, name.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the no-replace rename: a hard link is exclusive too.
    if (::linkat(folder_, name_.c_str(), folder_, name.c_str(), 0) != 0) return errno;
    ::unlinkat(folder_, name_.c_str(), 0);
  }
  inPlace_ = true;
  ForgetOnStop();
  // The data was made durable by Seal; the lock goes with the descriptor now
  // that the temporary's name is gone.
  ::close(fd_);
  fd_ = -1;
  return 0;
}

}  // namespace posix
