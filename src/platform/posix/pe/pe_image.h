// The version resource of a Windows executable image (PE32 or PE32+), found
// through its headers, section table and resource directory. The image comes
// from an update server and is not trusted: every offset and length is
// checked against the image before it is followed, and a malformed image is
// a failure with the Win32 code Windows gives for it, never an over-read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/posix/win32_api.h"

namespace posix {

// Random access to the bytes of an image, so that a large file is read only
// where its headers point.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies `length` bytes at `offset`; false (with `code` set) when the range
  // lies beyond the image or can't be read.
  virtual bool Read(uint64_t offset, void* out, size_t length, DWORD& code) const = 0;
};

// An image already in memory (tests and the fuzzer).
class MemoryImage : public ImageSource {
 public:
  MemoryImage(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t offset, void* out, size_t length, DWORD& code) const override;

 private:
  const uint8_t* data_;
  size_t size_;
};

// Where the version resource's bytes lie in the image file.
struct ResourceSpan {
  uint64_t fileOffset = 0;
  uint32_t size = 0;
};

// A version block is addressed by 16-bit lengths, so nothing past this many
// bytes of a resource can ever be reached; a larger resource is cut here.
constexpr uint32_t kMaxVersionResourceSize = 0x10000;

// Finds the version resource: type RT_VERSION, its first name, and of that
// name's languages the one a user of `userLanguage` is shown, as Windows
// picks it: the neutral language, the user's language, the user's primary
// language without territory, English (United States), then the first
// listed. False with the code: ERROR_BAD_EXE_FORMAT for an
// image that is no PE executable, ERROR_RESOURCE_DATA_NOT_FOUND without a
// readable resource directory, ERROR_RESOURCE_TYPE_NOT_FOUND without a
// version resource, ERROR_RESOURCE_NAME_NOT_FOUND / _LANG_NOT_FOUND for an
// empty level of the directory.
bool FindVersionResource(const ImageSource& image, LANGID userLanguage, ResourceSpan& span,
                         DWORD& code);

// The resource's bytes, at most kMaxVersionResourceSize of them.
bool ReadVersionResource(const ImageSource& image, LANGID userLanguage,
                         std::vector<uint8_t>& bytes, DWORD& code);

}  // namespace posix
