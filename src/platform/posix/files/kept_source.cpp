#include "platform/posix/files/kept_source.h"

#include <unistd.h>

#include <deque>

namespace posix {
namespace {

struct KeptSource {
  std::u16string windowsPath;
  int fd;
  struct stat facts;
};

constexpr size_t kKeptAtMost = 2;
std::deque<KeptSource> kept;

void Forget(std::deque<KeptSource>::iterator source) {
  ::close(source->fd);
  kept.erase(source);
}

std::deque<KeptSource>::iterator Find(const std::u16string& windowsPath) {
  auto source = kept.begin();
  while (source != kept.end() && source->windowsPath != windowsPath) ++source;
  return source;
}

}  // namespace

void KeepForCopy(const std::u16string& windowsPath, int fd, const struct stat& facts) {
  if (auto same = Find(windowsPath); same != kept.end()) Forget(same);
  if (kept.size() == kKeptAtMost) Forget(kept.begin());
  kept.push_back({windowsPath, fd, facts});
}

int TakeKeptForCopy(const std::u16string& windowsPath, struct stat& facts) {
  int fd = -1;
  if (auto source = Find(windowsPath); source != kept.end()) {
    fd = source->fd;
    facts = source->facts;
    kept.erase(source);
  }
  while (!kept.empty()) Forget(kept.begin());
  return fd;
}

}  // namespace posix
