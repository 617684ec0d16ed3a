// Values in a version-information block (VS_VERSIONINFO): a tree of nodes,
// each wLength, wValueLength, wType, a NUL-ended UTF-16 key, then on 32-bit
// boundaries its value and its children. The block comes from an untrusted
// file, so every node is checked against its parent's bounds and the block's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace posix {

// wLength, wValueLength and wType: no node, the root included, is shorter.
constexpr size_t kVersionNodeHeaderSize = 6;

struct VersionValue {
  size_t offset = 0;  // from the start of the block
  size_t length = 0;  // characters for a text value, bytes for a binary one
};

// The value at a query path such as "\StringFileInfo\040904B0\ProductName",
// "\VarFileInfo\Translation\" or "\" (the root's fixed file information).
// Components are separated by backslashes (empty ones are skipped) and keys
// match without regard to letter case. A text value found is always ended by
// a NUL inside the block: an empty one is given as the empty text, and one
// whose NUL is missing is not found.
bool FindVersionValue(const uint8_t* block, size_t size, std::u16string_view query,
                      VersionValue& value);

// A block cut short (copied into a smaller buffer) must not claim bytes
// beyond its copy: the lookups trust the root node's own length. A block of
// fewer than 2 bytes can't say its length and is left alone; the version
// calls never make one.
void FitBlockLength(uint8_t* block, size_t size);

}  // namespace posix
