// Lists the version strings of the files named on standard input, one
// Windows path (ASCII) a line, as the Windows build's core reads them.
#include <cstdio>
#include <iostream>
#include <string>

#include "../version_listing.h"

int main() {
  std::string path;
  while (std::getline(std::cin, path)) {
    if (!path.empty() && path.back() == '\r') path.pop_back();
    if (path.empty()) continue;
    const std::string listing = VersionListing(path);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
  }
  return 0;
}
