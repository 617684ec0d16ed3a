// Running one of the Windows build's tools under Wine from a native test:
// where the build is (RUD_WINDOWS_BUILD), whether its loader is there, and a run with
// a chosen LANG, its standard input and output through files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/world.h"
#include "support/temp_folder.h"

namespace wine_tool {

// The tool's path in the Windows build, or the reason it can't be run.
inline std::optional<std::filesystem::path> Find(const std::string& tool, std::string& reason) {
  const std::filesystem::path build = WindowsBuildFolder();
  if (build.empty()) {
    reason = "RUD_WINDOWS_BUILD does not name a built Windows tree";
    return std::nullopt;
  }
  const std::filesystem::path exe = build / "tests" / (tool + ".exe");
  if (!std::filesystem::exists(exe)) {
    reason = exe.string() + " is not built";
    return std::nullopt;
  }
  if (LegUnavailable(Leg::Wine)) {
    reason = *LegUnavailable(Leg::Wine);
    return std::nullopt;
  }
  return exe;
}

inline std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs the tool under wine with LANG set (and LC_ALL, LC_MESSAGES, LC_TIME
// unset), feeding `input`; its standard output without carriage returns.
inline std::string Run(const std::filesystem::path& exe, const std::string& lang,
                       const std::string& input) {
  TempFolder folder;
  const auto in = folder.WriteFile("input.txt", input);
  const auto out = folder / "output.txt";
  const std::string command = "env -u LC_ALL -u LC_MESSAGES -u LC_TIME LANG=" + Quoted(lang) +
                              " " + Quoted(WineLoader()) + " " + Quoted(exe.string()) + " < " + Quoted(in.string()) +
                              " > " + Quoted(out.string()) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return "wine failed: " + command;
  std::string text = ReadFileBytes(out);
  std::erase(text, '\r');
  return text;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace wine_tool
