// The bytes of an untrusted file, read as an executable image for its
// version resource, and the resource (or the bytes themselves) read as a
// version block with the lookups the version reader makes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

// The lookups as the version reader makes them, on a buffer holding exactly
// the block (as GetFileVersionInfoW leaves it).
void QueryBlock(const uint8_t* data, size_t size) {
  std::vector<uint8_t> block(data, data + size);
  if (block.size() < 2) return;
  posix::FitBlockLength(block.data(), block.size());
  for (const char16_t* query : kQueries) {
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), query, &value, &length)) {
      const bool text = std::u16string_view(query).find(u"StringFileInfo\\0") != std::u16string_view::npos;
      CheckValue(block.data(), block.size(), value, length, text);
    }
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
  return 0;
}
