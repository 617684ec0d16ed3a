// A world for end-to-end runs of the real program: a temporary folder that
// stands in for drive C: and the update server, and a way to run the program
// with chosen arguments, environment and standard streams and to collect
// what it wrote and its exit code, bounded in time.
//
// Two legs: the native build (RUD_NATIVE_BINARY) and rud.exe under Wine,
// found through RUD_WINDOWS_BUILD (a Windows build folder, win32 or win64,
// holding rud.exe and tests/rud_launch.exe; RUD_WIN32_BUILD is the older
// name) and started by the loader RUD_WINE names (`wine` when it is unset).
// The Wine leg uses the environment's WINEPREFIX (or
// ~/.wine); its drive C: is that prefix's drive_c, and lines that Wine itself
// writes to standard error ("wine: ...") are left out of the result.
#pragma once

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

// The first line of every run, and the last of an update.
inline constexpr char kBanner[] = "ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN 12.6";
inline constexpr char kSuccess[] = "Se realizó la actualización de manera exitosa.";

enum class Leg { Native, Wine };

std::string LegName(Leg leg);

// Why a leg can't run on this machine; nothing when it can.
std::optional<std::string> LegUnavailable(Leg leg);

// Where the update server is: a folder of the host, or the share \\127.0.0.1\upd
// of a private SMB server (see smb_server.h), which the native program
// reaches through RUD_UNC_ROOT and Wine through its prefix's dosdevices/unc.
enum class Served { Folder, OverSmb };

// A leg and where its server is; a plain leg serves from a folder.
struct Setting {
  Setting(Leg leg, Served served = Served::Folder) : leg(leg), served(served) {}
  Leg leg;
  Served served;
};
std::string SettingName(const Setting& setting);
void PrintTo(const Setting& setting, std::ostream* out);  // GoogleTest shows a setting by its name
std::optional<std::string> SettingUnavailable(const Setting& setting);

// The Windows build folder RUD_WINDOWS_BUILD names; empty when it is unset.
std::filesystem::path WindowsBuildFolder();
// The loader that starts Windows programs: RUD_WINE, or `wine`.
std::string WineLoader();

enum class InputKind {
  Bytes,     // a pipe holding RunOptions::inputBytes, then its end
  NullDevice,  // /dev/null (Windows: a character device that is always at its end)
  HeldOpen,  // a pipe that stays open, with nothing in it, until the program ends
  File,      // RunOptions::inputFile, read from its start
  Closed,    // no usable handle (Wine: INVALID_HANDLE_VALUE through the launcher)
};

enum class OutputKind {
  Pipe,        // captured through a pipe
  File,        // a file in the world's folder, read back afterwards
  Closed,      // no usable handle (Wine: INVALID_HANDLE_VALUE through the launcher)
  ClosedPipe,  // a pipe whose reading end is closed before the program starts
  FullDevice,  // /dev/full: every write fails for lack of space
};

struct RunOptions {
  // Another program to run in the world instead of rud: natively a host
  // program (looked up on the PATH), under Wine what `wine` is given to start
  // (a Windows program's host path, or a builtin such as cmd). It gets the
  // same environment as rud would.
  std::optional<std::string> program;
  // argv after the program's name.
  std::vector<std::string> arguments;
  // Wine only: the exact command line, the program's name included, handed
  // over through the launcher instead of `arguments`.
  std::optional<std::u16string> commandLine;
  InputKind input = InputKind::Bytes;
  std::string inputBytes;
  std::filesystem::path inputFile;
  OutputKind output = OutputKind::Pipe;
  // Set (or, with an empty value, removed) on top of the test's environment.
  std::map<std::string, std::string> environment;
  std::chrono::seconds timeLimit{90};
  // Native only: the largest file, in bytes, the program may write
  // (RLIMIT_FSIZE); beyond it a write fails with EFBIG.
  std::optional<unsigned long long> fileSizeLimit;
};

struct RunResult {
  std::string out;  // standard output's bytes (Pipe and File)
  std::string err;  // standard error's bytes
  int exitCode = -1;   // modulo 256, as a shell sees it
  int signal = 0;      // the signal that ended the program, if one did
  bool timedOut = false;
  // InputKind::File: how far the program read into the file.
  long long inputOffset = -1;
};

class World {
 public:
  explicit World(Leg leg, Served served = Served::Folder);
  ~World();
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  Leg leg() const { return leg_; }
  const TempFolder& folder() const { return folder_; }

  // The host folder that holds the server's files, and the server folder
  // as the program is given it.
  std::filesystem::path ServerFolder() const;
  std::string ServerArgument() const;
  // What the native program's environment needs to reach the server.
  std::map<std::string, std::string> ServerEnvironment() const;

  // The host folder that is drive C: for the program.
  std::filesystem::path DriveC() const;
  // A host path as the program names it on this leg (Wine: Z:\...).
  std::string ProgramPathOf(const std::filesystem::path& hostPath) const;
  // A text written by the program, in the byte encoding it uses on this leg
  // for redirected output: UTF-8 natively (the world runs it in C.UTF-8),
  // code page 1252 under Wine. `utf8` holds only Latin-1 characters.
  std::string Encoded(std::string_view utf8) const;
  // Encoded lines, each ended by CR LF as the program ends every line.
  std::string Lines(std::initializer_list<std::string_view> lines) const;

  RunResult Run(const RunOptions& options) const;

 private:
  Leg leg_;
  Served served_;
  TempFolder folder_;
};
