// Symbolic links for tests, where the host keeps them.
#pragma once

#include <filesystem>

// Creates link pointing at target (a folder link when toFolder); false when
// no link could be made here (Wine creates none, for one).
bool CreateTestLink(const std::filesystem::path& target, const std::filesystem::path& link,
                    bool toFolder);
