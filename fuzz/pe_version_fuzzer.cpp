// The bytes of an untrusted file, read as an executable image for its
// version resource, and the resource (or the bytes themselves) read as a
// version block with the lookups the version reader makes. The same bytes
// are also a file on which the version calls run as the reader makes them:
// the size query, a buffer of exactly the size it gives (or smaller, as a
// caller may pass), the copy and the lookups, and the whole reader.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "console/exceptions.h"
#include "fileinfo/version_info.h"
#include "platform/posix/pe/pe_image.h"
#include "platform/posix/pe/version_block.h"
#include "platform/win32.h"

namespace {

const char16_t* const kQueries[] = {
    u"\\",
    u"\\VarFileInfo\\Translation\\",
    u"\\StringFileInfo\\040904B0\\ProductName",
    u"\\StringFileInfo\\0C0A04B0\\OriginalFileName",
    u"\\StringFileInfo\\0C0A04B0\\Comments",
    u"\\StringFileInfo",
    u"\\\\\\",
};

// Every value found must lie inside the block, and a text value must end
// with its NUL inside it: the reader copies up to that NUL.
void CheckValue(const uint8_t* block, size_t size, const void* address, UINT length,
                bool text) {
  const auto* at = static_cast<const uint8_t*>(address);
  if (at < block || at > block + size) __builtin_trap();
  size_t offset = static_cast<size_t>(at - block);
  if (!text) {
    if (length > size - offset) __builtin_trap();
    return;
  }
  for (;; offset += 2) {
    if (offset + 2 > size) __builtin_trap();
    char16_t c;
    std::memcpy(&c, block + offset, sizeof c);
    if (c == 0) break;
  }
}

// Every lookup the reader makes, each answer checked to lie inside the block.
void QueryAll(std::vector<uint8_t>& block) {
  for (const char16_t* query : kQueries) {
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), query, &value, &length)) {
      const bool text = std::u16string_view(query).find(u"StringFileInfo\\0") != std::u16string_view::npos;
      CheckValue(block.data(), block.size(), value, length, text);
    }
  }
}

// The lookups as the version reader makes them, on a buffer holding exactly
// the block (as GetFileVersionInfoW leaves it).
void QueryBlock(const uint8_t* data, size_t size) {
  std::vector<uint8_t> block(data, data + size);
  if (block.size() < 2) return;
  posix::FitBlockLength(block.data(), block.size());
  QueryAll(block);
}

// The size query, the copy into a heap buffer of the size given (so that the
// sanitizer sees every byte read past it) and the lookups in that buffer.
void QueryFileCopy(const std::u16string& path, DWORD size) {
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoW(W(path), 0, size, block.data())) return;
  QueryAll(block);
}

// The input as a file: an anonymous one, named through /proc.
void QueryAsFile(const uint8_t* data, size_t size) {
  static const int file = ::memfd_create("pe_version_fuzzer", MFD_CLOEXEC);
  if (file < 0 || ::ftruncate(file, 0) != 0) __builtin_trap();
  if (size > 0 && ::pwrite(file, data, size, 0) != static_cast<ssize_t>(size)) __builtin_trap();
  const std::string name = "/proc/self/fd/" + std::to_string(file);
  const std::u16string path(name.begin(), name.end());

  DWORD handle = 0;
  const DWORD claimed = GetFileVersionInfoSizeW(W(path), &handle);
  if (claimed > 0) {
    QueryFileCopy(path, claimed);
    // Callers may pass less than the size query gave.
    for (DWORD smaller : {DWORD{1}, DWORD{5}, DWORD{6}, claimed / 2, claimed - 1}) {
      if (smaller > 0 && smaller < claimed) QueryFileCopy(path, smaller);
    }
  }
  try {
    ReadVersionStrings(path);
  } catch (const EOSError&) {
    // A file without a readable resource: the reader's own report.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  posix::MemoryImage image(data, size);
  std::vector<uint8_t> resource;
  DWORD code = 0;
  // The user's language steers which language entry is taken.
  const LANGID language = size > 0 && (data[size - 1] & 1) ? 0x0C0A : 0x0409;
  if (posix::ReadVersionResource(image, language, resource, code)) {
    if (resource.empty() || resource.size() > posix::kMaxVersionResourceSize) __builtin_trap();
    QueryBlock(resource.data(), resource.size());
  }
  QueryBlock(data, size);
  QueryAsFile(data, size);
  return 0;
}
