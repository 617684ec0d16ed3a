// Running one of the Windows build's tools under Wine from a native test:
// where the build is (RUD_WINDOWS_BUILD), whether its loader is there, and a run with
// a chosen LANG, its standard input and output through files.
#pragma once

#include <cstdio>
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
// unset), feeding `input`; its standard output without carriage returns, or
// a line saying how Wine failed, with what it wrote to standard error. A run
// that wrote nothing at all is made once more, and the first one's trace is
// left on standard error: Wine has been seen, rarely, to end a start-up that
// follows a change of LANG (which rewrites its registry) without running the
// program at all, and that is no fault of the program under test. A run that
// wrote something and failed is the tool's own failure, and is not retried.
inline std::string Run(const std::filesystem::path& exe, const std::string& lang,
                       const std::string& input) {
  TempFolder folder;
  const auto in = folder.WriteFile("input.txt", input);
  const auto out = folder / "output.txt";
  const auto err = folder / "errors.txt";
  const std::string command = "env -u LC_ALL -u LC_MESSAGES -u LC_TIME LANG=" + Quoted(lang) +
                              " " + Quoted(WineLoader()) + " " + Quoted(exe.string()) + " < " + Quoted(in.string()) +
                              " > " + Quoted(out.string()) + " 2> " + Quoted(err.string());
  std::string failure;
  for (int attempt = 1; attempt <= 2; ++attempt) {
    const int status = std::system(command.c_str());
    std::string text = ReadFileBytes(out);
    if (status == 0 && !text.empty()) {
      std::erase(text, '\r');
      return text;
    }
    failure = "wine failed (status " + std::to_string(status) + ", " +
              std::to_string(text.size()) + " bytes out): " + command + "\n" + ReadFileBytes(err);
    if (!text.empty()) break;
    if (attempt == 1) std::fprintf(stderr, "retried once: %s\n", failure.c_str());
  }
  return failure;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace wine_tool
