// Finding a name in a host folder as a Windows file system does: the exact
// name first, then the same name in another case.
#pragma once

#include <optional>
#include <string>

namespace posix {

// The entry of folder (a host path; empty for the working folder) that
// Windows would take for name: name itself when it exists, otherwise the
// first in byte order of the entries that equal it regardless of case.
// Nothing when there is no such entry, or the folder can't be read.
std::optional<std::string> EntryNamed(const std::string& folder, const std::string& name);

// folder/name, with no doubled slash and nothing in front of a name in the
// working folder.
std::string JoinedPath(const std::string& folder, const std::string& name);

}  // namespace posix
