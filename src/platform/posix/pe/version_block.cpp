#include "platform/posix/pe/version_block.h"

#include <algorithm>

namespace posix {
namespace {

constexpr size_t kNodeHeaderSize = kVersionNodeHeaderSize;
constexpr uint16_t kTextValue = 1;

uint16_t WordAt(const uint8_t* block, size_t offset) {
  return static_cast<uint16_t>(block[offset] | (block[offset + 1] << 8));
}

size_t Align4(size_t offset) { return (offset + 3) & ~size_t{3}; }

struct Node {
  size_t start = 0;
  size_t end = 0;       // start + wLength, cut at the parent's end
  uint16_t valueLength = 0;
  uint16_t type = 0;
  size_t keyStart = 0;
  size_t keyEnd = 0;    // the key's NUL
  size_t valueStart = 0;
  size_t valueBytes = 0;
  size_t childrenStart = 0;
};

// Reads the node at `start`, which must lie wholly before `limit`.
bool ReadNode(const uint8_t* block, size_t start, size_t limit, Node& node) {
  if (start > limit || limit - start < kNodeHeaderSize) return false;
  const uint16_t length = WordAt(block, start);
  if (length < kNodeHeaderSize) return false;
  node.start = start;
  node.end = std::min(start + length, limit);
  node.valueLength = WordAt(block, start + 2);
  node.type = WordAt(block, start + 4);
  node.keyStart = start + kNodeHeaderSize;
  size_t at = node.keyStart;
  while (at + 2 <= node.end && WordAt(block, at) != 0) at += 2;
  if (at + 2 > node.end) return false;  // a key without its NUL
  node.keyEnd = at;
  node.valueStart = std::min(Align4(at + 2), node.end);
  const size_t declared =
      node.type == kTextValue ? size_t{node.valueLength} * 2 : size_t{node.valueLength};
  node.valueBytes = std::min(declared, node.end - node.valueStart);
  node.childrenStart = std::min(Align4(node.valueStart + node.valueBytes), node.end);
  return true;
}

char16_t Folded(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - u'a' + u'A') : c; }

bool KeyEquals(const uint8_t* block, const Node& node, std::u16string_view name) {
  if ((node.keyEnd - node.keyStart) / 2 != name.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (Folded(WordAt(block, node.keyStart + 2 * i)) != Folded(name[i])) return false;
  }
  return true;
}

// The first child of `parent` whose key is `name`.
bool FindChild(const uint8_t* block, const Node& parent, std::u16string_view name, Node& child) {
  size_t at = parent.childrenStart;
  while (at < parent.end) {
    if (!ReadNode(block, at, parent.end, child)) return false;
    if (KeyEquals(block, child, name)) return true;
    at = Align4(child.end);
  }
  return false;
}

// Where the value of a found node is given: a text value must end with a NUL
// inside the node, so that a reader that stops at the NUL stays in bounds.
bool ValueOf(const uint8_t* block, const Node& node, VersionValue& value) {
  if (node.type != kTextValue) {
    value = {node.valueStart, node.valueBytes};
    return true;
  }
  if (node.valueLength == 0) {
    value = {node.keyEnd, 0};  // the key's own NUL: the empty text
    return true;
  }
  for (size_t at = node.valueStart; at + 2 <= node.end; at += 2) {
    if (WordAt(block, at) == 0) {
      value = {node.valueStart, std::min<size_t>(node.valueLength, (node.end - node.valueStart) / 2)};
      return true;
    }
  }
  return false;
}

}  // namespace

bool FindVersionValue(const uint8_t* block, size_t size, std::u16string_view query,
                      VersionValue& value) {
  Node node;
  if (block == nullptr || !ReadNode(block, 0, size, node)) return false;
  size_t at = 0;
  while (at < query.size()) {
    size_t next = query.find(u'\\', at);
    if (next == std::u16string_view::npos) next = query.size();
    if (next > at) {
      Node child;
      if (!FindChild(block, node, query.substr(at, next - at), child)) return false;
      node = child;
    }
    at = next + 1;
  }
  return ValueOf(block, node, value);
}

void FitBlockLength(uint8_t* block, size_t size) {
  if (size < 2) return;
  if (WordAt(block, 0) > size) {
    block[0] = static_cast<uint8_t>(size & 0xFF);
    block[1] = static_cast<uint8_t>(size >> 8);
  }
}

}  // namespace posix
