// The pieces of CopyFileW on POSIX. The copy is written to a temporary file
// beside the destination and renamed over it only when it is complete, so a
// failed copy leaves the old file as it was and nobody ever sees half of one.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <functional>
#include <string>

namespace posix {

// Six letters and digits for a temporary name, from the kernel's random source.
std::string RandomNameSuffix();

// A new file being written beside `name` in an open folder, named
// ".<name>.rud-XXXXXX". It is created exclusively, so a file or link already
// at that name is never opened, let alone followed; it stays readable and
// writable by its owner only until it is sealed; and it is removed again when
// the object goes away before it has replaced the destination.
// For its whole life the file carries an exclusive flock, which the kernel
// drops when the writer dies however it dies: a temporary that can be locked
// belongs to nobody any more (see RemoveStaleCopies).
// Every operation returns 0 or the errno value of the failure.
class TemporaryCopy {
 public:
  using SuffixSource = std::function<std::string()>;

  TemporaryCopy() = default;
  ~TemporaryCopy();
  TemporaryCopy(const TemporaryCopy&) = delete;
  TemporaryCopy& operator=(const TemporaryCopy&) = delete;

  // `folder` must stay open for the life of the object.
  int Create(int folder, const std::string& name,
             const SuffixSource& suffix = RandomNameSuffix);

  // Copies the whole of `source` from its start, by the kernel where it can;
  // `copied` receives the number of bytes written.
  int Fill(int source, off_t& copied);

  // Gives the file its owner and permission bits (LocalCopyMode; the owner
  // and group of the file it replaces where this process may set them), the
  // source's access and last-write times, and makes it durable. The file
  // stays open, and locked, until it has been put in place.
  int Seal(const struct stat& source, const struct stat* existing);

  // Puts the file in the place of `name`: over an existing file, or, with
  // keepExisting, only where there is none (EEXIST otherwise).
  int Replace(const std::string& name, bool keepExisting);

  int Descriptor() const { return fd_; }
  const std::string& Name() const { return name_; }

 private:
  int folder_ = -1;
  int fd_ = -1;
  std::string name_;
  bool inPlace_ = false;
};

// The permission bits of a new local copy, as `install` sets the mode it is
// given: the bits of the file it replaces (`existing`), or, for a first copy,
// the owner's read and write bits with the source's read and execute bits,
// whatever the umask of the run that happens to make it (a root job under
// umask 077 must not lock the other users out of the program, nor a user's
// umask 0222 lock every later update out). Never writable by others, never
// set-user-ID, set-group-ID or sticky: a program that every user runs must
// not be replaceable by any of them, even when the share shows its files as
// 0777.
mode_t LocalCopyMode(mode_t source, const struct stat* existing);

// Whether `entry` is a name TemporaryCopy gives a copy of `name`.
bool IsTemporaryNameOf(const std::string& entry, const std::string& name);

// Removes the temporaries of `name` in an open folder that a run left behind
// when it was killed or lost its machine. A temporary still being written is
// locked by its writer and left alone; so is anything that is not a regular
// file, or that the file system can't lock. Returns how many were removed.
int RemoveStaleCopies(int folder, const std::string& name);

}  // namespace posix
