// The version strings of one file as text lines, written the same way by the
// Windows build's version_dump tool and by the native cross-check, so that
// the two listings can be compared line for line.
#pragma once

#include <cstdio>
#include <string>

#include "console/exceptions.h"
#include "fileinfo/version_info.h"

// Printable ASCII stands as it is; everything else (and the backslash) as
// \uXXXX, so that the listing is plain ASCII on both sides.
inline std::string ListingText(const Text& text) {
  std::string out;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F && c != u'\\') {
      out += static_cast<char>(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      out += escaped;
    }
  }
  return out;
}

// "<path>" then either twelve "  Name=value" lines or "  EOSError <code>".
inline std::string VersionListing(const std::string& path) {
  std::string out = path + "\n";
  try {
    TEXEVersionData data = ReadVersionStrings(Text(path.begin(), path.end()));
    const std::pair<const char*, const Text*> fields[] = {
        {"CompanyName", &data.CompanyName},       {"FileDescription", &data.FileDescription},
        {"FileVersion", &data.FileVersion},       {"InternalName", &data.InternalName},
        {"LegalCopyright", &data.LegalCopyright}, {"LegalTrademarks", &data.LegalTrademarks},
        {"OriginalFileName", &data.OriginalFileName}, {"ProductName", &data.ProductName},
        {"ProductVersion", &data.ProductVersion}, {"Comments", &data.Comments},
        {"PrivateBuild", &data.PrivateBuild},     {"SpecialBuild", &data.SpecialBuild},
    };
    for (const auto& [name, value] : fields) {
      out += std::string("  ") + name + "=" + ListingText(*value) + "\n";
    }
  } catch (const EOSError& error) {
    out += "  EOSError " + std::to_string(error.ErrorCode) + "\n";
  }
  return out;
}
