// Makes small but well-formed Windows executables (PE32 or PE32+) with a
// chosen version resource, for the tests and the demo.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct VersionStringTable {
  std::u16string key;  // e.g. u"0C0A04B0": language and code page in hexadecimal
  std::vector<std::pair<std::u16string, std::u16string>> strings;  // name, value
};

struct VersionResource {
  // The \VarFileInfo\Translation value: (language, code page) pairs.
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  std::vector<VersionStringTable> stringTables;
  bool withTranslationValue = true;  // false: a VarFileInfo without Translation
  // Not 0: the size the resource's data entry claims, whatever the block's is
  // (a damaged or hostile file).
  uint32_t claimedSize = 0;
};

enum class PeKind { Pe32, Pe32Plus };

// The bytes of an executable; without a version resource when `version` is
// empty.
std::string BuildExecutable(PeKind kind, const std::optional<VersionResource>& version);

// An executable whose version resource exists in several languages, each
// with its own block, listed in the resource directory in the order given.
std::string BuildMultilingualExecutable(
    PeKind kind, const std::vector<std::pair<uint16_t, VersionResource>>& languages);

// A typical resource: one Spanish (0C0A) Unicode (04B0) translation and the
// string table under the same key holding `strings`.
VersionResource SpanishVersionResource(
    std::vector<std::pair<std::u16string, std::u16string>> strings);
