// The whole job from the real program on each leg: the update decision, the
// version lines with their dates, the copy, and the files afterwards.
//
// The runs take place three hours west of UTC without summer time, so a
// chosen local time is a known instant; the dates are written in Spanish
// (es_ES.UTF-8) where the host has that locale.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "console/text.h"
#include "e2e/e2e_fixture.h"
#include "e2e/smb_server.h"
#include "e2e/system_log.h"
#include "fileinfo/version_info.h"
#include "platform/posix/text/utf.h"
#include "support/pe_writer.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kLocalMissing = "Archivo local no encontrado, será actualizado.";
constexpr const char* kNeitherFound =
    "Exception: No fue posible realizar la validación del archivo, debido a que no fue "
    "encontrado de manera local ni remota.";
constexpr const char* kCopyFailed = "Exception: Error al intentar copiar el archivo: ";

constexpr const char* kTimeZone = "<-03>3";
constexpr long long kUtcOffsetSeconds = -3 * 3600;
constexpr const char* kSpanish = "es_ES.UTF-8";
// Stands for a date whose text this host can't predict (see DateText).
constexpr char kAnyDate = '\x1F';

bool LocaleGenerated(const char* name) {
  locale_t probe = newlocale(LC_ALL_MASK, name, nullptr);
  if (probe == nullptr) return false;
  freelocale(probe);
  return true;
}

struct LocalTime {
  int year, month, day, hour, minute, second;
  long nanoseconds = 0;
};

// Days from 1970-01-01 to a Gregorian date.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

timespec InstantOf(const LocalTime& t) {
  const long long seconds = DaysFromCivil(t.year, static_cast<unsigned>(t.month),
                                          static_cast<unsigned>(t.day)) * 86400 +
                            t.hour * 3600 + t.minute * 60 + t.second - kUtcOffsetSeconds;
  return timespec{static_cast<time_t>(seconds), t.nanoseconds};
}

void SetLastWrite(const fs::path& file, const LocalTime& t) {
  const timespec times[2] = {InstantOf(t), InstantOf(t)};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << file;
}

timespec LastWrite(const fs::path& file) {
  struct stat facts {};
  if (stat(file.c_str(), &facts) != 0) return timespec{-1, -1};
  return facts.st_mtim;
}

// The hidden and system attributes as Wine keeps them (and Samba): a hex
// number in an extended attribute of the file; 0 without one.
constexpr char kDosAttributes[] = "user.DOSATTRIB";
unsigned DosAttributes(const fs::path& file) {
  char value[32] = {};
  const ssize_t length = getxattr(file.c_str(), kDosAttributes, value, sizeof value - 1);
  return length > 0 ? static_cast<unsigned>(std::strtoul(value, nullptr, 16)) : 0u;
}

bool SameInstant(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::string Format(const char* pattern, const LocalTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, pattern, t.day, t.month, t.year % 100, t.year, t.hour, t.minute,
                t.second);
  return text;
}

// Older and newer last-write times; the older one has a one-digit hour and
// day, so the zero padding of each pattern shows.
const LocalTime kOlder{2025, 3, 4, 9, 26, 53};
const LocalTime kNewer{2025, 11, 12, 18, 7, 4};

// A copy of the program: its bytes and the FileVersion its resource carries.
struct Executable {
  std::string bytes;
  const char* fileVersion;
};

Executable WithVersion(const char* fileVersion) {
  std::u16string version(fileVersion, fileVersion + std::char_traits<char>::length(fileVersion));
  return {BuildExecutable(PeKind::Pe32, SpanishVersionResource({{u"CompanyName", u"ZARVEK"},
                                                                {u"FileVersion", version},
                                                                {u"ProductVersion", u"12.6"}})),
          fileVersion};
}

const Executable kOldBuild = WithVersion("12.6.0.3");
const Executable kNewBuild = WithVersion("12.6.0.4");

// A record in the system's log: its event ID (1 installed, 2 failure, 3
// server copy not found) and inserts.
struct Record {
  int id;
  std::vector<std::string> inserts;
};

// Each event ID's text, and its type as Wine's channel and syslog name it.
struct RecordKind {
  const char* wine;
  const char* syslog;
  const char* text;
};
const RecordKind kRecordKinds[] = {
    {},
    {"trace", "user.info",
     "Programa «%1» actualizado desde «%2». Nueva versión: %3 (%4). Antigua versión: %5 (%6)."},
    {"err", "user.err", "Falló la actualización del programa «%1» desde «%2»: %3"},
    {"warn", "user.warning", "Programa «%1»: no se encontró la copia del servidor «%2»; sigue la copia local."},
};
// Wine's channels: a line per insert, in the class of the event type, after
// advapi's line that names the event.
constexpr const char* kWineEventChannels = "-all,trace+eventlog,warn+eventlog,err+eventlog,fixme+advapi";

// An insert as Wine's debug channel quotes it: L"...", with a backslash, a
// quote and any unit outside printable ASCII escaped.
std::string WineQuoted(const std::string& utf8) {
  std::string quoted = "L\"";
  for (char16_t c : posix::Utf16FromUtf8(utf8)) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, c == u'\\' || c == u'"' ? "\\%c" : c < 32 || c > 126 ? "\\%04x" : "%c",
                  static_cast<unsigned>(c));
    quoted += escaped;
  }
  return quoted + "\"";
}

// Takes Wine's event lines out of standard error: one entry per event,
// "<class> <event ID>: <insert> | <insert>...".
std::vector<std::string> TakeWineRecords(std::string& err) {
  constexpr std::string_view kEvent = "fixme:advapi:ReportEventW (";
  constexpr std::string_view kInsert = ":eventlog:ReportEventW ";
  std::vector<std::string> records;
  std::string kept;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);) {
    // After the thread: "fixme:advapi:ReportEventW (log,0xTYPE,0xCATEGORY,0xID,..."
    // names an event, "<class>:eventlog:ReportEventW L"..."" is one insert.
    const std::string rest = line.substr(line.find(':') + 1);
    const size_t insert = rest.find(kInsert);
    if (rest.starts_with(kEvent)) {
      std::istringstream fields(rest.substr(kEvent.size()));
      std::string field;
      for (int k = 0; k < 4; ++k) std::getline(fields, field, ',');
      records.push_back("? " + std::to_string(std::stoul(field, nullptr, 16)) + ":");
    } else if (insert != std::string::npos && !records.empty()) {
      records.back().replace(0, records.back().find(' '), rest.substr(0, insert));
      records.back() += (records.back().back() == ':' ? " " : " | ") + rest.substr(insert + kInsert.size());
    } else if (line.find(":advapi:") == std::string::npos && line.find(":eventlog:") == std::string::npos) {
      kept += line + "\n";
    }
  }
  err = kept;
  return records;
}

// A local time's instant in UTC, as a record shows a last-write time.
std::string IsoUtc(const LocalTime& t) {
  const time_t seconds = InstantOf(t).tv_sec;
  struct tm utc {};
  gmtime_r(&seconds, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

class Update : public OnEachLeg {
 protected:
  void SetUp() override {
    OnEachLeg::SetUp();
    if (IsSkipped()) return;
    spanish_ = LocaleGenerated(kSpanish);
  }

  fs::path Server() { return world().ServerFolder(); }
  std::string ServerArgument() { return world().ServerArgument(); }
  fs::path ServerCopy() { return Server() / "Garh" / "NM" / "bin" / "XNMPAYRO.exe"; }
  fs::path LocalRoot() { return world().DriveC() / "ZARVEK"; }
  fs::path LocalFolder() { return LocalRoot() / "Garh" / "NM" / "bin"; }
  fs::path LocalCopy() { return LocalFolder() / "XNMPAYRO.exe"; }

  // Back to an empty server and no installed suite. (A share's own folder
  // stays: its server holds it open.)
  void Reset() {
    fs::create_directories(Server());
    for (const auto& entry : fs::directory_iterator(Server())) fs::remove_all(entry.path());
    fs::remove_all(LocalRoot());
  }

  void Put(const fs::path& file, const std::string& bytes, const LocalTime& lastWrite) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
    SetLastWrite(file, lastWrite);
  }

  // The environment of every run: the time zone and the locale of the dates.
  std::map<std::string, std::string> Environment() {
    const char* locale = spanish_ ? kSpanish : "C.UTF-8";
    return {{"TZ", kTimeZone}, {"LANG", locale}, {"LC_TIME", ""}, {"LC_MESSAGES", ""}};
  }

  // A run of rud; its records in the system's log go to records_: Wine's
  // event lines, taken out of standard error, or natively what the private
  // rsyslogd got from a run in its namespace (receiver_ says where /dev/log
  // leads there). Natively without that log, records_ is empty-handed.
  RunResult RunRud(std::vector<std::string> arguments = {}) {
    RunOptions options;
    options.arguments = arguments.empty() ? std::vector<std::string>{ServerArgument(), "XNMPAYRO"}
                                          : std::move(arguments);
    options.environment = Environment();
    options.timeLimit = std::chrono::seconds(60);
    options.output = output_;
    SystemLog* log = !OnWine() && !SystemLogUnavailable() ? PrivateSystemLog() : nullptr;
    if (OnWine()) options.environment["WINEDEBUG"] = kWineEventChannels;
    if (log != nullptr) {
      log->Use(receiver_);
      options.program = "nsenter";
      std::vector<std::string> enter = log->Enter();
      enter.push_back(RUD_NATIVE_BINARY);
      options.arguments.insert(options.arguments.begin(), enter.begin(), enter.end());
    }
    RunResult result = world().Run(options);
    records_.reset();
    if (OnWine()) records_ = TakeWineRecords(result.err);
    if (log != nullptr) records_ = log->Take();
    return result;
  }

  // The server copy as rud names it from its server argument.
  std::string ServerCopyArgument() { return ServerArgument() + "\\Garh\\NM\\bin\\XNMPAYRO.exe"; }

  // The record of an update of XNMPAYRO from the server copy written at
  // `server` over one written at `local`, or where there was none.
  Record Installed(const LocalTime& server, const std::optional<LocalTime>& local) {
    return {1, {"XNMPAYRO", ServerCopyArgument(), kNewBuild.fileVersion, IsoUtc(server),
                local ? kOldBuild.fileVersion : "ninguna", local ? IsoUtc(*local) : "archivo local no encontrado"}};
  }

  // The last run's records are these, as this leg shows them: natively the
  // log's line, "user.<kind> <text>"; under Wine the event's class, ID and
  // inserts. Nothing to compare natively where the private log can't run.
  void ExpectRecords(const std::vector<Record>& expected) {
    if (!records_) return;
    std::vector<std::string> shown;
    for (const Record& record : expected) {
      const RecordKind& kind = kRecordKinds[record.id];
      std::string line = OnWine() ? kind.wine + (" " + std::to_string(record.id) + ":")
                                  : kind.syslog + (" " + std::string(kind.text));
      for (size_t k = 0; k < record.inserts.size(); ++k) {
        if (OnWine()) {
          line += (k == 0 ? " " : " | ") + WineQuoted(record.inserts[k]);
        } else {
          line.replace(line.find("%" + std::to_string(k + 1)), 2, record.inserts[k]);
        }
      }
      shown.push_back(line);
    }
    EXPECT_EQ(*records_, shown);
  }

  // A last-write time as the program writes it: natively the locale's
  // dd/mm/yy hh:mm:ss in Spanish, mm/dd/yy hh:mm:ss in C.UTF-8; under Wine's
  // Spanish d/M/yyyy h:mm:ss. Wine without the Spanish locale on the host
  // picks its own, and the date is then only required to be there.
  std::string DateText(const LocalTime& t) {
    if (!OnWine()) {
      return Format(spanish_ ? "%1$02d/%2$02d/%3$02d %5$02d:%6$02d:%7$02d"
                             : "%2$02d/%1$02d/%3$02d %5$02d:%6$02d:%7$02d",
                    t);
    }
    if (spanish_) return Format("%1$d/%2$d/%4$04d %5$d:%6$02d:%7$02d", t);
    return std::string(1, kAnyDate);
  }

  // The lines every run with both arguments starts with.
  std::vector<std::string> Head(const std::string& server = "", const std::string& code = "XNMPAYRO",
                                const std::string& folder = "Garh\\NM\\bin\\") {
    return {kBanner, "Servidor de actualizaciones: " + (server.empty() ? ServerArgument() : server),
            "Programa Seleccionado: " + code, "Ruta del archivo: " + folder};
  }

  std::string Output(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
      for (size_t start = 0; start <= line.size();) {
        // A date to be matched loosely passes through unencoded.
        size_t marker = line.find(kAnyDate, start);
        if (marker == std::string::npos) marker = line.size();
        bytes += world().Encoded(std::string_view(line).substr(start, marker - start));
        if (marker < line.size()) bytes += kAnyDate;
        start = marker + 1;
      }
      bytes += "\r\n";
    }
    return bytes;
  }

  // Every byte, but an unpredictable date stands for any text up to its line end.
  void ExpectOutput(const std::string& actual, const std::vector<std::string>& lines) {
    const std::string expected = Output(lines);
    if (expected.find(kAnyDate) == std::string::npos) {
      EXPECT_EQ(actual, expected);
      return;
    }
    size_t at = 0;
    size_t start = 0;
    bool matches = true;
    for (;;) {
      const size_t marker = expected.find(kAnyDate, start);
      const std::string piece = expected.substr(start, marker - start);
      if (actual.compare(at, piece.size(), piece) != 0) {
        matches = false;
        break;
      }
      at += piece.size();
      if (marker == std::string::npos) break;
      const size_t lineEnd = actual.find("\r\n", at);
      if (lineEnd == std::string::npos || lineEnd == at) {
        matches = false;
        break;
      }
      at = lineEnd;
      start = marker + 1;
    }
    EXPECT_TRUE(matches && at == actual.size()) << "actual:\n" << actual << "\nexpected:\n" << expected;
  }

  // What the local folder holds: no temporary copy may stay behind.
  std::vector<std::string> LocalFolderEntries() {
    std::vector<std::string> names;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(LocalFolder(), missing)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The report of an EOSError for `code`, two lines: the system's text for
  // the code comes from the platform the leg runs on.
  std::vector<std::string> OsErrorReport(int code, const std::string& systemText) {
    return {"EOSError: System Error.  Code: " + std::to_string(code) + ".", systemText};
  }

  // Wine's own message text for an error code, in the run's locale, with the
  // trailing blanks, line ends and full stops the report leaves out.
  std::string WineSystemText(int code) {
    const fs::path tool = WindowsBuildFolder() / "tests" / "system_text.exe";
    const fs::path out = world().folder() / "system-text.txt";
    RunOptions options;
    options.program = tool.string();
    options.arguments = {std::to_string(code), world().ProgramPathOf(out)};
    options.environment = Environment();
    RunResult result = world().Run(options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string text = ReadFileBytes(out);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 32 || text.back() == '.')) {
      text.pop_back();
    }
    return text;
  }

  // The system text the report shows for `code`: Wine's own, or natively
  // the one of the run's language.
  std::string SystemText(int code, const char* english, const char* spanish) {
    if (OnWine()) return WineSystemText(code);
    return spanish_ ? spanish : english;
  }

  bool spanish_ = false;
  std::optional<std::vector<std::string>> records_;
  LogReceiver receiver_ = LogReceiver::Rsyslog;
  OutputKind output_ = OutputKind::Pipe;
};
RUD_IN_SETTINGS(Update, Leg::Native, Leg::Wine, Setting(Leg::Native, Served::OverSmb),
                Setting(Leg::Wine, Served::OverSmb));

TEST_P(Update, EveryOutcomeOfTheDecision) {
  struct Row {
    const char* name;
    std::optional<LocalTime> local;
    std::optional<LocalTime> server;
    bool localFolderChain;  // with the local copy missing: its folders exist
    int exitCode;
    bool copied;
    bool serverReadOnly = false;  // the read-only attribute, as from read-only media
    const char* serverHiddenOrSystem = nullptr;  // as Wine keeps them: 0x2 hidden, 0x4 system
  };
  LocalTime newerByAHundredth = kOlder;
  newerByAHundredth.nanoseconds = 10'000'000;
  // Equal times whose day fraction is no binary fraction: a value held wider
  // than a double on one side of the comparison would make them unequal (all
  // but the one just before midnight then look newer with 80-bit x87 values).
  const LocalTime oddSeconds{2026, 12, 7, 14, 5, 9};
  const LocalTime milliseconds{2024, 7, 15, 8, 41, 27, 125'000'000};
  const LocalTime hundredNanoseconds{2026, 3, 19, 11, 17, 43, 456'789'100};
  const LocalTime beforeMidnight{2025, 12, 31, 23, 59, 59, 999'999'900};
  const LocalTime leapDay{2024, 2, 29, 16, 33, 22, 700'000'000};
  const Row rows[] = {
      {"both missing", std::nullopt, std::nullopt, true, 1, false},
      {"local only", kOlder, std::nullopt, true, 0, false},
      {"same last-write time", kOlder, kOlder, true, 0, false},
      {"same time, odd seconds", oddSeconds, oddSeconds, true, 0, false},
      {"same time, milliseconds", milliseconds, milliseconds, true, 0, false},
      {"same time, 100-ns remainder", hundredNanoseconds, hundredNanoseconds, true, 0, false},
      {"same time, just before midnight", beforeMidnight, beforeMidnight, true, 0, false},
      {"same time, leap day", leapDay, leapDay, true, 0, false},
      {"local newer", kNewer, kOlder, true, 0, false},
      {"server newer", kOlder, kNewer, true, 0, true},
      {"server newer by a hundredth of a second", kOlder, newerByAHundredth, true, 0, true},
      {"local missing, its folder present", std::nullopt, kNewer, true, 0, true},
      {"local missing with its folder chain", std::nullopt, kNewer, false, 0, true},
      {"local missing, server just before midnight", std::nullopt, beforeMidnight, true, 0, true},
      {"local missing, server with a 100-ns remainder", std::nullopt, hundredNanoseconds, true, 0,
       true},
      {"local missing, server copy read-only", std::nullopt, kNewer, true, 0, true, true},
      {"local missing, server copy hidden", std::nullopt, kNewer, true, 0, true, false, "0x2"},
      {"local missing, server copy system", std::nullopt, kNewer, true, 0, true, false, "0x4"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    if (row.local) Put(LocalCopy(), kOldBuild.bytes, *row.local);
    if (!row.local && row.localFolderChain) fs::create_directories(LocalFolder());
    if (row.server) Put(ServerCopy(), kNewBuild.bytes, *row.server);
    constexpr fs::perms kReadOnly = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    if (row.serverReadOnly) fs::permissions(ServerCopy(), kReadOnly);
    if (row.serverHiddenOrSystem) {
      ASSERT_EQ(setxattr(ServerCopy().c_str(), kDosAttributes, row.serverHiddenOrSystem,
                         std::strlen(row.serverHiddenOrSystem), 0),
                0);
    }

    RunResult result = RunRud();

    std::vector<std::string> lines = Head();
    if (!row.local && !row.server) lines.push_back(kNeitherFound);
    if (row.copied) {
      lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(*row.server));
      lines.push_back(row.local ? std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " +
                                      DateText(*row.local)
                                : kLocalMissing);
      lines.push_back(kSuccess);
    }
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, row.exitCode);
    EXPECT_FALSE(result.timedOut);
    std::vector<Record> records;
    if (!row.local && !row.server) records.push_back({2, {"XNMPAYRO", ServerArgument(), kNeitherFound}});
    if (row.local && !row.server) records.push_back({3, {"XNMPAYRO", ServerCopyArgument()}});
    if (row.copied) records.push_back(Installed(*row.server, row.local));
    ExpectRecords(records);

    if (row.copied) {
      EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
      EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(*row.server)));
      // The copy carries the server's time: the next login finds nothing to do.
      RunResult again = RunRud();
      ExpectOutput(again.out, Head());
      EXPECT_EQ(again.exitCode, 0);
      ExpectRecords({});
      EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(*row.server)));
      // Never installed read-only, hidden or system, which would refuse every
      // later update on Windows.
      EXPECT_NE(fs::status(LocalCopy()).permissions() & fs::perms::owner_write, fs::perms::none);
      EXPECT_EQ(DosAttributes(LocalCopy()) & 0x6u, 0u);
    } else if (row.local) {
      EXPECT_EQ(ReadFileBytes(LocalCopy()), kOldBuild.bytes);
      EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(*row.local)));
    } else {
      EXPECT_FALSE(fs::exists(LocalCopy()));
    }
    const bool installed = row.local || row.copied;
    EXPECT_EQ(LocalFolderEntries(),
              installed ? std::vector<std::string>{"XNMPAYRO.exe"} : std::vector<std::string>{});
    // The server copy is only ever read.
    if (row.server) {
      EXPECT_EQ(ReadFileBytes(ServerCopy()), kNewBuild.bytes);
      EXPECT_TRUE(SameInstant(LastWrite(ServerCopy()), InstantOf(*row.server)));
    }
  }
}

// Windows keeps times in 100-ns ticks; the server's disk may keep a finer
// remainder, which no copy can carry: once installed, the program is as new
// as the server copy, and the next run finds nothing to do.
TEST_P(Update, AServerTimeFinerThanAHundredNanosecondsIsInstalledOnce) {
  LocalTime fine = kNewer;
  fine.nanoseconds = 123'456'789;
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  Put(ServerCopy(), kNewBuild.bytes, fine);

  RunResult first = RunRud();
  EXPECT_EQ(first.exitCode, 0) << first.out;
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);

  RunResult second = RunRud();
  ExpectOutput(second.out, Head());
  EXPECT_EQ(second.exitCode, 0);
}

// The code of an EOSError report in the output, or -1.
int ReportedCode(const std::string& out) {
  const std::string key = "EOSError: System Error.  Code: ";
  const size_t at = out.find(key);
  if (at == std::string::npos) return -1;
  return std::atoi(out.c_str() + at + key.size());
}

TEST_P(Update, AServerCopyWithoutAVersionResourceStopsTheUpdateBeforeTheCopy) {
  const std::string noResource = BuildExecutable(PeKind::Pe32, std::nullopt);
  Put(ServerCopy(), noResource, kNewer);

  RunResult result = RunRud();

  // The code is the one the platform's resource lookup gives: Wine says
  // that the image has no resource section (1812) or no version resource
  // (1813); our reader names the missing resource type.
  const int code = ReportedCode(result.out);
  if (OnWine()) {
    EXPECT_TRUE(code == 1812 || code == 1813) << result.out;
  } else {
    EXPECT_EQ(code, 1813) << result.out;
  }
  const std::string systemText =
      SystemText(code, "The specified resource type cannot be found in the image file",
                 "Tipo del recurso no encontrado");
  std::vector<std::string> lines = Head();
  for (const std::string& line : OsErrorReport(code, systemText)) lines.push_back(line);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 1);
  // The report's two lines are one in the log.
  ExpectRecords({{2, {"XNMPAYRO", ServerArgument(),
                      "EOSError: System Error.  Code: " + std::to_string(code) + ". " + systemText}}});
  // Nothing was written: no folder made, nothing copied.
  EXPECT_FALSE(fs::exists(LocalRoot()));
}

// A local copy that holds no readable version resource (emptied, cut short,
// never stamped) is what the update is there to mend: its version shows empty
// beside its own date, and the server copy replaces it in the same run.
TEST_P(Update, ADamagedLocalCopyIsRepaired) {
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"empty local copy", ""},
      {"local copy cut short", kOldBuild.bytes.substr(0, kOldBuild.bytes.size() / 2)},
      {"local copy cut inside its headers", kOldBuild.bytes.substr(0, 100)},
      {"local copy without a version resource", BuildExecutable(PeKind::Pe32, std::nullopt)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    Put(LocalCopy(), row.bytes, kOlder);
    Put(ServerCopy(), kNewBuild.bytes, kNewer);

    RunResult result = RunRud();

    std::vector<std::string> lines = Head();
    lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
    lines.push_back("Antigua Versión:  " + DateText(kOlder));
    lines.push_back(kSuccess);
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
    EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(kNewer)));
    EXPECT_EQ(LocalFolderEntries(), std::vector<std::string>{"XNMPAYRO.exe"});
  }
}

// Whoever writes to the share writes the version strings: a line break or a
// terminal escape in one must not forge the success line or hide the report.
TEST_P(Update, ControlCharactersOfAVersionStringShowAsQuestionMarks) {
  auto withFileVersion = [](const std::u16string& version) {
    return BuildExecutable(PeKind::Pe32, SpanishVersionResource({{u"FileVersion", version}}));
  };
  const std::string forged =
      withFileVersion(u"2.0\r\nSe realiz\u00F3 la actualizaci\u00F3n de manera exitosa.\x1B[8m");
  Put(LocalCopy(), withFileVersion(u"1.0\x7F\x85\x9B\t"), kOlder);
  Put(ServerCopy(), forged, kNewer);

  RunResult result = RunRud();

  std::vector<std::string> lines = Head();
  lines.push_back("Nueva Versión: 2.0??Se realizó la actualización de manera exitosa.?[8m " +
                  DateText(kNewer));
  lines.push_back("Antigua Versión: 1.0???? " + DateText(kOlder));
  lines.push_back(kSuccess);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 0);
  // Nor do they reach the log: a line break there would forge a record.
  ExpectRecords({{1, {"XNMPAYRO", ServerCopyArgument(), "2.0??Se realizó la actualización de manera exitosa.?[8m",
                      IsoUtc(kNewer), "1.0????", IsoUtc(kOlder)}}});
  EXPECT_EQ(ReadFileBytes(LocalCopy()), forged);
}

// A report that can't reach standard output goes to standard error, and to
// the log as it stands there.
TEST_P(Update, AReportOnStandardErrorIsRecordedAsItWasWritten) {
  output_ = OutputKind::Closed;
  RunResult result = RunRud();
  EXPECT_EQ(result.exitCode, 1);
  std::string report = result.err;
  for (size_t at; (at = report.find("\r\n")) != std::string::npos;) report.replace(at, 2, " ");
  while (report.ends_with(" ")) report.pop_back();
  ASSERT_TRUE(report.starts_with("Exception EInOutError in module ")) << result.err;
  ExpectRecords({{2, {"XNMPAYRO", ServerArgument(), report}}});
}

// A program code names a file in a module folder; one that is a path would
// read and write outside the install root (\..\..\x writes C:\x.exe).
TEST_P(Update, APathLikeProgramCodeIsRefused) {
  // What a run that followed such a code would copy.
  Put(world().folder() / "x.exe", kNewBuild.bytes, kNewer);
  Put(Server() / "x.exe", kNewBuild.bytes, kNewer);
  Put(Server() / "bin" / "A..exe", kNewBuild.bytes, kNewer);
  for (const char* code : {"\\..\\..\\x", "../../x", "C:x", "Garh\\x", "A."}) {
    SCOPED_TRACE(code);
    RunResult result = RunRud({ServerArgument(), code});

    ExpectOutput(result.out, {kBanner, "Exception: Error en el código de programa."});
    EXPECT_EQ(result.exitCode, 1);
    ExpectRecords({{2, {code, ServerArgument(), "Exception: Error en el código de programa."}}});
    EXPECT_FALSE(fs::exists(world().DriveC() / "x.exe"));
    EXPECT_FALSE(fs::exists(LocalRoot()));
  }
}

TEST_P(Update, AVersionResourceWithoutFileVersionLeavesTheVersionEmpty) {
  auto withoutFileVersion = [](const char16_t* productVersion) {
    return BuildExecutable(PeKind::Pe32,
                           SpanishVersionResource({{u"CompanyName", u"ZARVEK"},
                                                   {u"ProductVersion", productVersion}}));
  };
  const std::string local = withoutFileVersion(u"12.6");
  const std::string server = withoutFileVersion(u"12.7");
  Put(LocalCopy(), local, kOlder);
  Put(ServerCopy(), server, kNewer);

  RunResult result = RunRud();

  std::vector<std::string> lines = Head();
  lines.push_back("Nueva Versión:  " + DateText(kNewer));
  lines.push_back("Antigua Versión:  " + DateText(kOlder));
  lines.push_back(kSuccess);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(LocalCopy()), server);
}

TEST_P(Update, AFolderChainThatCannotBeMadeFailsTheCopy) {
  // A file where the module's folder belongs: the folder chain stops there,
  // and the copy finds no path.
  const fs::path blocker = LocalRoot() / "Garh" / "NM";
  Put(blocker, "not a folder", kOlder);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  RunResult result = RunRud();

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(kLocalMissing);
  lines.push_back(std::string(kCopyFailed) + "Ruta no encontrada");
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(fs::is_regular_file(blocker));
  EXPECT_EQ(ReadFileBytes(blocker), "not a folder");
}

TEST_P(Update, AFolderInTheLocalCopysPlaceHasNoVersionToShow) {
  // The folder is found as the local copy; reading its version is refused
  // before any copy is tried.
  fs::create_directories(LocalCopy());
  SetLastWrite(LocalCopy(), kOlder);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  RunResult result = RunRud();

  constexpr int kAccessDenied = 5;
  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  const std::string systemText = SystemText(kAccessDenied, "Access is denied", "Acceso denegado");
  for (const std::string& line : OsErrorReport(kAccessDenied, systemText)) lines.push_back(line);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(fs::is_directory(LocalCopy()));
  EXPECT_TRUE(fs::is_empty(LocalCopy()));
}

// The server as a file share: one that stops answering, and a DFS namespace
// that leads to a second server.
class UpdateOverSmb : public Update {};
RUD_IN_SETTINGS(UpdateOverSmb, Setting(Leg::Native, Served::OverSmb), Setting(Leg::Wine, Served::OverSmb));

TEST_P(UpdateOverSmb, AServerThatIsDownCountsAsMissingUntilItIsBack) {
  struct Row {
    const char* name;
    bool serverUp;
    bool installed;  // the old build in place before the run
    std::vector<std::string> lines;  // after the head
    int exitCode;
  };
  const Row rows[] = {
      {"down, the program not installed", false, false, {kNeitherFound}, 1},
      {"down, the program installed", false, true, {}, 0},
      {"back",
       true,
       true,
       {std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer),
        std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder), kSuccess},
       0},
  };
  Put(ServerCopy(), kNewBuild.bytes, kNewer);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.installed && !fs::exists(LocalCopy())) Put(LocalCopy(), kOldBuild.bytes, kOlder);
    if (!row.serverUp) PrivateSmbServer()->Down(1);

    RunResult result = RunRud();
    PrivateSmbServer()->Up(1);

    std::vector<std::string> lines = Head();
    lines.insert(lines.end(), row.lines.begin(), row.lines.end());
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.exitCode, row.exitCode);
    EXPECT_FALSE(result.timedOut);
    // A branch office that can't reach the share is silent on the console,
    // not in the log.
    ExpectRecords({row.serverUp    ? Installed(kNewer, kOlder)
                   : row.installed ? Record{3, {"XNMPAYRO", ServerCopyArgument()}}
                                   : Record{2, {"XNMPAYRO", ServerArgument(), kNeitherFound}}});
    if (row.installed) {
      EXPECT_EQ(ReadFileBytes(LocalCopy()), row.serverUp ? kNewBuild.bytes : kOldBuild.bytes);
    }
  }
}

// A DFS namespace in front of several servers is one more share to rud.
TEST_P(UpdateOverSmb, ADfsLinkLeadsToTheSecondServer) {
  const std::string namespaceFolder = "\\\\127.0.0.1\\dfs\\suite";
  Put(PrivateSmbServer()->Share(2) / "Garh" / "NM" / "bin" / "XNMPAYRO.exe", kNewBuild.bytes, kNewer);
  Put(LocalCopy(), kOldBuild.bytes, kOlder);

  RunResult result = RunRud({namespaceFolder, "XNMPAYRO"});

  std::vector<std::string> lines = Head(namespaceFolder);
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder));
  lines.push_back(kSuccess);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
  EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(kNewer)));
}

// Cases that only one leg can set up.
class UpdateNative : public Update {};
RUD_IN_SETTINGS(UpdateNative, Leg::Native);
class UpdateWine : public Update {};
RUD_IN_SETTINGS(UpdateWine, Leg::Wine);

// The system text of a report is in the locale's language, whole: a server
// copy that is no program (193) and one whose resource section lies outside
// the file (1812), in Spanish and in the C locale. (Under Wine the texts are
// Wine's own, which the test above compares already.)
TEST_P(UpdateNative, TheSystemTextFollowsTheLocaleLanguage) {
  std::string brokenResources = kNewBuild.bytes;
  {
    // The resource directory entry of the PE32 optional header (data
    // directory 2) moved far beyond the end of the file.
    const uint32_t pe = static_cast<unsigned char>(brokenResources[0x3C]) |
                        static_cast<unsigned char>(brokenResources[0x3D]) << 8;
    const size_t entry = pe + 4 + 20 + 96 + 2 * 8;
    ASSERT_LT(entry + 4, brokenResources.size());
    for (size_t i = 0; i < 4; ++i) brokenResources[entry + i] = i == 3 ? '\x70' : '\0';
  }
  struct Row {
    const char* name;
    std::string server;
    int code;
    const char* spanishText;
    const char* englishText;
  };
  const Row rows[] = {
      {"no program", "not a program, just text", 193, "Formato EXE erróneo",
       "The file is not a valid Win32 application"},
      {"resource section outside the file", brokenResources, 1812,
       "Datos del recurso no encontrados",
       "The specified image file did not contain a resource section"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    Put(ServerCopy(), row.server, kNewer);

    RunResult result = RunRud();

    std::vector<std::string> lines = Head();
    const std::string systemText = SystemText(row.code, row.englishText, row.spanishText);
    for (const std::string& line : OsErrorReport(row.code, systemText)) lines.push_back(line);
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.out.find('%'), std::string::npos) << result.out;
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_FALSE(fs::exists(LocalRoot()));
  }
}

// Without RUD_DRIVE_C the suite is installed under /opt/ZARVEK, and the
// folders made on the way are rwxr-xr-x even under umask 077. The run takes
// place in a mount namespace of its own, with an empty tmpfs over /opt; a
// machine that allows no such namespace skips the test.
TEST_P(UpdateNative, WithoutDriveCTheSuiteGoesUnderOptZarvek) {
  const fs::path listing = world().folder() / "opt-listing.txt";
  const std::string script =
      "mount -t tmpfs -o mode=755 rud-test /opt || exit 125\n"
      "umask 077\n"
      "\"$1\" \"$2\" XNMPAYRO </dev/null\n"
      "status=$?\n"
      "(cd /opt && find . -mindepth 1 \\( -type d -printf '%y %m %p\\n' \\) \\\n"
      "  -o -printf '%y %p\\n' | LC_ALL=C sort) >\"$3\"\n"
      "exit $status\n";
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  // As the superuser a namespace of our own; otherwise one in which we are
  // root, where the kernel allows it.
  RunResult result;
  bool ran = false;
  for (const std::vector<std::string>& unshare :
       {std::vector<std::string>{"-m"}, std::vector<std::string>{"-r", "-m"}}) {
    RunOptions options;
    options.program = "unshare";
    options.arguments = unshare;
    for (const std::string& word :
         {std::string("sh"), std::string("-c"), script, std::string("sh"),
          std::string(RUD_NATIVE_BINARY), ServerArgument(), listing.string()}) {
      options.arguments.push_back(word);
    }
    options.environment = Environment();
    options.environment["RUD_DRIVE_C"] = "";  // unset
    result = world().Run(options);
    // The listing is written only once /opt was mounted over.
    if (fs::exists(listing)) {
      ran = true;
      break;
    }
  }
  if (!ran) GTEST_SKIP() << "no private mount namespace here: " << result.err;

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(kLocalMissing);
  lines.push_back(kSuccess);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(listing),
            "d 755 ./ZARVEK\n"
            "d 755 ./ZARVEK/Garh\n"
            "d 755 ./ZARVEK/Garh/NM\n"
            "d 755 ./ZARVEK/Garh/NM/bin\n"
            "f ./ZARVEK/Garh/NM/bin/XNMPAYRO.exe\n");
  // Nothing reached the drive C: of the world, nor the real /opt.
  EXPECT_FALSE(fs::exists(LocalRoot()));
}

TEST_P(UpdateNative, AReadOnlyLocalCopyIsNotReplaced) {
  // No write bit at all: read-only, as the attribute is on Windows, even for
  // the superuser.
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  fs::permissions(LocalCopy(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  RunResult result = RunRud();

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder));
  lines.push_back(std::string(kCopyFailed) + "Acceso denegado");
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kOldBuild.bytes);
  EXPECT_EQ(fs::status(LocalCopy()).permissions(),
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_EQ(LocalFolderEntries(), std::vector<std::string>{"XNMPAYRO.exe"});
}

// The user the unprivileged runs take: nobody.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// A run as nobody, where this process may start one (it is root); as the
// caller otherwise.
RunResult RunAsNobody(World& world, const std::vector<std::string>& arguments,
                      const std::map<std::string, std::string>& environment) {
  RunOptions options;
  options.environment = environment;
  options.arguments = arguments;
  if (geteuid() == 0) {
    options.program = "setpriv";
    options.arguments = {"--reuid=" + std::to_string(kNobody), "--regid=" + std::to_string(kNoGroup),
                         "--clear-groups", RUD_NATIVE_BINARY};
    options.arguments.insert(options.arguments.end(), arguments.begin(), arguments.end());
  }
  return world.Run(options);
}

// The modes and owners of the local program, as cp and rsync users know
// them: never writable by others, never set-ID; a replaced copy keeps its
// mode, owner and group; a copy its owner made read-only is not replaced;
// the folders a run makes are rwxr-xr-x whatever its umask.
TEST_P(UpdateNative, TheLocalProgramsModeAndOwner) {
  struct Row {
    const char* name;
    mode_t server;
    std::optional<mode_t> local;
    bool localOwnedByNobody;  // else by whoever runs the test
    bool asNobody;            // the run as an unprivileged user (needs root to set up)
    mode_t expected;
    const char* failure;      // the copy's report, if it fails
    mode_t umask = 022;
    bool newFolders = false;  // the run makes Garh\NM\bin under C:\ZARVEK
  };
  const Row rows[] = {
      {"new copy from a 0777 share", 0777, std::nullopt, false, false, 0755, nullptr},
      {"new copy from a read-only share", 0555, std::nullopt, false, false, 0755, nullptr},
      {"new copy from a set-ID share", 06777, std::nullopt, false, false, 0755, nullptr},
      {"replaced copy keeps its mode", 0777, 0640, false, false, 0640, nullptr},
      {"replaced 0777 copy is mended", 0755, 0777, false, false, 0775, nullptr},
      {"replaced copy keeps its owner", 0777, 0750, true, false, 0750, nullptr},
      {"copy its owner made read-only", 0777, 0575, false, false, 0575, "Acceso denegado"},
      {"unprivileged: new copy", 0777, std::nullopt, false, true, 0755, nullptr},
      {"unprivileged: its own copy", 0777, 0700, true, true, 0700, nullptr},
      {"unprivileged: another user's copy", 0777, 0644, false, true, 0644, "Acceso denegado"},
      // The standard user's rights as the README gives them: write on the
      // program's folder and on the program.
      {"unprivileged: write on the folder and the file", 0777, 0664, false, true, 0664, nullptr},
      {"unprivileged: new folders, umask without the owner's read", 0777, std::nullopt, false, true,
       0755, nullptr, 0477, true},
      {"unprivileged: new folders, umask 0777", 0777, std::nullopt, false, true, 0755, nullptr,
       0777, true},
  };
  const bool root = geteuid() == 0;
  const mode_t previousMask = umask(022);
  std::string needRoot;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (!root && (row.localOwnedByNobody || row.asNobody)) {
      // Another user can be set up only by root; as a plain user these runs
      // are the rows above, run by that user.
      needRoot += std::string(" ") + row.name + ";";
      continue;
    }
    Reset();
    // The folder the run writes in: the program's, or the root it makes
    // the program's folders under.
    const fs::path writable = row.newFolders ? LocalRoot() : LocalFolder();
    fs::create_directories(writable);
    Put(ServerCopy(), kNewBuild.bytes, kNewer);
    fs::permissions(ServerCopy(), static_cast<fs::perms>(row.server));
    if (row.local) {
      Put(LocalCopy(), kOldBuild.bytes, kOlder);
      fs::permissions(LocalCopy(), static_cast<fs::perms>(*row.local));
      if (row.localOwnedByNobody) {
        ASSERT_EQ(chown(LocalCopy().c_str(), kNobody, kNoGroup), 0);
      }
    }
    if (row.asNobody) {
      // nobody reaches the world, and may write the local folder and the
      // files of its group, root's, as a standard user given write on the
      // program's folder and on the program.
      for (fs::path folder = writable; folder != world().folder().Path().parent_path();
           folder = folder.parent_path()) {
        fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
      }
      ASSERT_EQ(chown(writable.c_str(), 0, kNoGroup), 0);
      fs::permissions(writable, fs::perms::group_write, fs::perm_options::add);
      if (row.local && !row.localOwnedByNobody) {
        ASSERT_EQ(chown(LocalCopy().c_str(), 0, kNoGroup), 0);
      }
    }

    umask(row.umask);
    RunResult result = row.asNobody
                           ? RunAsNobody(world(), {ServerArgument(), "XNMPAYRO"}, Environment())
                           : RunRud();
    umask(022);

    std::vector<std::string> lines = Head();
    lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
    lines.push_back(row.local ? std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " +
                                    DateText(kOlder)
                              : kLocalMissing);
    lines.push_back(row.failure ? std::string(kCopyFailed) + row.failure : kSuccess);
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.exitCode, row.failure ? 1 : 0);

    struct stat facts {};
    ASSERT_EQ(stat(LocalCopy().c_str(), &facts), 0);
    EXPECT_EQ(facts.st_mode & 07777, row.expected);
    EXPECT_EQ(ReadFileBytes(LocalCopy()), row.failure ? kOldBuild.bytes : kNewBuild.bytes);
    const uid_t owner = row.localOwnedByNobody || (row.asNobody && !row.failure) ? kNobody : geteuid();
    EXPECT_EQ(facts.st_uid, owner);
    EXPECT_EQ(LocalFolderEntries(), std::vector<std::string>{"XNMPAYRO.exe"});
    for (fs::path made = LocalFolder(); row.newFolders && made != LocalRoot();
         made = made.parent_path()) {
      ASSERT_EQ(stat(made.c_str(), &facts), 0) << made;
      EXPECT_EQ(facts.st_mode & 07777, 0755u) << made;
    }
  }
  umask(previousMask);
  if (!needRoot.empty()) GTEST_SKIP() << "needs root to set up another user:" << needRoot;
}

// A local program that is a link: Windows writes through it, so the file it
// leads to (which other installs may share) is the one brought up to date.
TEST_P(UpdateNative, ALinkedLocalProgramIsUpdatedAtItsTarget) {
  const fs::path shared = world().folder() / "shared" / "XNMPAYRO.exe";
  Put(shared, kOldBuild.bytes, kOlder);
  fs::permissions(shared, static_cast<fs::perms>(0750));
  fs::create_directories(LocalFolder());
  fs::create_symlink(shared, LocalCopy());
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  RunResult result = RunRud();

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder));
  lines.push_back(kSuccess);
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_TRUE(fs::is_symlink(LocalCopy()));
  EXPECT_EQ(ReadFileBytes(shared), kNewBuild.bytes);
  EXPECT_TRUE(SameInstant(LastWrite(shared), InstantOf(kNewer)));
  EXPECT_EQ(fs::status(shared).permissions(), static_cast<fs::perms>(0750));
  EXPECT_EQ(fs::directory_iterator(shared.parent_path())->path(), shared);  // no temporary left

  // A dangling link can't be followed: the lookup's own report, as before.
  fs::remove(shared);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);
  result = RunRud();
  lines = Head();
  lines.push_back("EDirectoryNotFoundException: The drive cannot be found");
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_TRUE(fs::is_symlink(LocalCopy()));
  EXPECT_FALSE(fs::exists(shared));
}

// Device paths, drives and what a link may lead to.
TEST_P(UpdateNative, DeviceRoutesAndDrives) {
  const fs::path shares = world().folder() / (world().DriveC().filename().string() + "-shares");
  const fs::path shareCopy = shares / "srv" / "upd" / "Garh" / "NM" / "bin" / "XNMPAYRO.exe";
  std::string deep;
  for (int i = 0; i < 8; ++i) deep += "/" + std::string(40, static_cast<char>('a' + i));
  const fs::path longTarget = world().folder() / ("long" + deep) / "XNMPAYRO.exe";
  const fs::path fifo = world().folder() / "fifo";
  const fs::path workstationFile = world().folder() / "private" / "XNMPAYRO.exe";
  const std::string notAProgram =
      SystemText(193, "The file is not a valid Win32 application", "Formato EXE erróneo");

  struct Row {
    const char* name;
    std::function<void()> arrange;
    std::map<std::string, std::string> environment;
    std::vector<std::string> arguments;  // empty: the world's server and XNMPAYRO
    std::vector<std::string> lines;      // after the head
    bool copied;
  };
  const std::string newLine = std::string("Nueva Versión: ") + kNewBuild.fileVersion + " ";
  const std::string oldLine = std::string("Antigua Versión: ") + kOldBuild.fileVersion + " ";
  const Row rows[] = {
      // The drive C device is a prefix of the share's folder name: the link's
      // target is not on C.
      {"link into a folder whose name begins with drive C's",
       [&] {
         Put(shareCopy.parent_path() / "real.exe", kNewBuild.bytes, kNewer);
         fs::create_symlink(shareCopy.parent_path() / "real.exe", shareCopy);
         Put(LocalCopy(), kOldBuild.bytes, kOlder);
       },
       {{"RUD_UNC_ROOT", shares.string()}},
       {"\\\\srv\\upd", "XNMPAYRO"},
       {newLine + DateText(kNewer), oldLine + DateText(kOlder), kSuccess},
       true},
      // A share's link resolves on the workstation: one that leads out of
      // the share is not followed, and the server copy can't be read.
      {"server copy that links out of its share",
       [&] {
         Put(workstationFile, kNewBuild.bytes, kNewer);
         fs::create_directories(shareCopy.parent_path());
         fs::create_symlink(workstationFile, shareCopy);
         Put(LocalCopy(), kOldBuild.bytes, kOlder);
       },
       {{"RUD_UNC_ROOT", shares.string()}},
       {"\\\\srv\\upd", "XNMPAYRO"},
       {"EOSError: System Error.  Code: 5.", SystemText(5, "Access is denied", "Acceso denegado")},
       false},
      {"link whose target is longer than 259 characters",
       [&] {
         Put(longTarget, kNewBuild.bytes, kNewer);
         fs::create_directories(ServerCopy().parent_path());
         fs::create_symlink(longTarget, ServerCopy());
         Put(LocalCopy(), kOldBuild.bytes, kOlder);
       },
       {},
       {},
       {newLine + DateText(kNewer), oldLine + DateText(kOlder), kSuccess},
       true},
      {"drive C mapped to a folder that does not exist",
       [&] { Put(ServerCopy(), kNewBuild.bytes, kNewer); },
       {{"RUD_DRIVE_C", (world().folder() / "C-typo").string()}},
       {},
       {newLine + DateText(kNewer), kLocalMissing, std::string(kCopyFailed) + "Ruta no encontrada"},
       false},
      {"server copy that links to a FIFO",
       [&] {
         ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
         SetLastWrite(fifo, kNewer);
         fs::create_directories(ServerCopy().parent_path());
         fs::create_symlink(fifo, ServerCopy());
         Put(LocalCopy(), kOldBuild.bytes, kOlder);
       },
       {},
       {},
       {"EOSError: System Error.  Code: 193.", notAProgram},
       false},
      {"server copy that links to a device",
       [&] {
         fs::create_directories(ServerCopy().parent_path());
         fs::create_symlink("/dev/zero", ServerCopy());
         Put(LocalCopy(), kOldBuild.bytes, kOlder);
       },
       {},
       {},
       {"EOSError: System Error.  Code: 193.", notAProgram},
       false},
      // No program to show a version of, and no damaged one to mend.
      {"local copy that links to a FIFO",
       [&] {
         ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
         SetLastWrite(fifo, kOlder);
         fs::create_directories(LocalFolder());
         fs::create_symlink(fifo, LocalCopy());
         Put(ServerCopy(), kNewBuild.bytes, kNewer);
       },
       {},
       {},
       {newLine + DateText(kNewer), "EOSError: System Error.  Code: 193.",
        notAProgram},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    std::error_code ignored;
    fs::remove_all(shares, ignored);
    fs::remove_all(world().folder() / "long", ignored);
    fs::remove_all(workstationFile.parent_path(), ignored);
    fs::remove(fifo, ignored);
    row.arrange();

    RunOptions options;
    options.arguments = row.arguments.empty() ? std::vector<std::string>{ServerArgument(), "XNMPAYRO"}
                                              : row.arguments;
    options.environment = Environment();
    for (const auto& [name, value] : row.environment) options.environment[name] = value;
    options.timeLimit = std::chrono::seconds(30);
    RunResult result = world().Run(options);

    std::vector<std::string> lines =
        Head(row.arguments.empty() ? "" : row.arguments[0], "XNMPAYRO");
    lines.insert(lines.end(), row.lines.begin(), row.lines.end());
    ExpectOutput(result.out, lines);
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.exitCode, row.copied ? 0 : 1);
    if (row.copied) {
      EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
    } else if (fs::is_regular_file(fs::symlink_status(LocalCopy()))) {
      EXPECT_EQ(ReadFileBytes(LocalCopy()), kOldBuild.bytes);
    }
    EXPECT_FALSE(fs::exists(world().folder() / "C-typo"));
    if (fs::exists(fifo)) {
      EXPECT_TRUE(fs::is_fifo(fifo));
    }
  }
}

TEST_P(UpdateNative, AFileSizeLimitDuringTheCopyIsADiskFull) {
  // The server copy is four times the limit; the old local copy is smaller.
  constexpr unsigned long long kLimit = 64 * 1024;
  const std::string large = kNewBuild.bytes + std::string(4 * kLimit, 'Z');
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  Put(ServerCopy(), large, kNewer);

  RunOptions options;
  options.arguments = {ServerArgument(), "XNMPAYRO"};
  options.environment = Environment();
  options.fileSizeLimit = kLimit;
  RunResult result = world().Run(options);

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder));
  lines.push_back(std::string(kCopyFailed) + "Disco Lleno");
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exitCode, 1);
  // The old copy stays whole and no temporary copy is left beside it.
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kOldBuild.bytes);
  EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(kOlder)));
  EXPECT_EQ(LocalFolderEntries(), std::vector<std::string>{"XNMPAYRO.exe"});
}

TEST_P(UpdateNative, ATypicalRunFromANetworkShare) {
  // \\srv\upd is the share srv/upd below RUD_UNC_ROOT.
  const fs::path network = world().folder() / "network";
  const fs::path serverCopy = network / "srv" / "upd" / "Garh" / "NM" / "bin" / "XNMPAYRO.exe";
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  Put(serverCopy, kNewBuild.bytes, kNewer);

  RunOptions options;
  options.arguments = {"\\\\srv\\upd", "XNMPAYRO"};
  options.environment = Environment();
  options.environment["RUD_UNC_ROOT"] = network.string();
  RunResult result = world().Run(options);

  ExpectOutput(result.out, {kBanner, "Servidor de actualizaciones: \\\\srv\\upd",
                            "Programa Seleccionado: XNMPAYRO", "Ruta del archivo: Garh\\NM\\bin\\",
                            "Nueva Versión: 12.6.0.4 " + DateText(kNewer),
                            "Antigua Versión: 12.6.0.3 " + DateText(kOlder), kSuccess});
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
  EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(kNewer)));
}

TEST_P(UpdateWine, ALockedLocalCopyIsNotReplaced) {
  // The local program is running: its file is open, readable, not writable.
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);

  RunOptions options;
  options.program = (WindowsBuildFolder() / "tests" / "hold_file.exe").string();
  options.arguments = {"C:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe",
                       world().ProgramPathOf(WindowsBuildFolder() / "rud.exe"), ServerArgument(),
                       "XNMPAYRO"};
  options.environment = Environment();
  options.timeLimit = std::chrono::seconds(60);
  RunResult result = world().Run(options);

  std::vector<std::string> lines = Head();
  lines.push_back(std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer));
  lines.push_back(std::string("Antigua Versión: ") + kOldBuild.fileVersion + " " + DateText(kOlder));
  lines.push_back(std::string(kCopyFailed) + "Violación al compartir o archivo en uso");
  ExpectOutput(result.out, lines);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(ReadFileBytes(LocalCopy()), kOldBuild.bytes);
  EXPECT_TRUE(SameInstant(LastWrite(LocalCopy()), InstantOf(kOlder)));
}

// The launcher examples: bring a program up to date, then start it.
std::string ReadIfThere(const fs::path& file) { return fs::exists(file) ? ReadFileBytes(file) : ""; }

TEST_P(UpdateNative, TheShellLauncherStartsTheUpdatedProgram) {
  const fs::path launcher = fs::path(RUD_SOURCE_DIR) / "examples" / "lanzar.sh";
  const fs::path record = world().folder() / "started.txt";
  // Stands in for wine: records the program it was asked to start and its
  // arguments, one a line.
  const fs::path runner = world().folder().WriteFile(
      "runner.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$ZARVEK_RECORD\"\n");
  fs::permissions(runner, fs::perms::owner_all);

  struct Row {
    const char* name;
    std::vector<std::string> arguments;  // the launcher's: code and the program's own
    std::optional<LocalTime> server;     // of Garh/NM/bin/XNMPAYRO.exe
    const char* installed;               // a local copy in place before the run, if any
    const char* folder;                  // rud's "Ruta del archivo: " line
    std::vector<std::string> rudLines;   // after the head
    int exitCode;
    std::string started;  // the record: program, then its arguments
  };
  const std::string bin = (LocalRoot() / "Garh" / "NM" / "bin").string();
  const Row rows[] = {
      {"an update, then the program",
       {"XNMPAYRO", "first", "second argument"},
       kNewer,
       nullptr,
       "Garh\\NM\\bin\\",
       {std::string("Nueva Versión: ") + kNewBuild.fileVersion + " " + DateText(kNewer), kLocalMissing,
        kSuccess},
       0,
       bin + "/XNMPAYRO.exe\nfirst\nsecond argument\n"},
      {"nothing to do in the common module",
       {"XGNUTIL"},
       std::nullopt,
       "Ggen/bin/XGNUTIL.exe",
       "Ggen\\bin\\",
       {},
       0,
       (LocalRoot() / "Ggen" / "bin" / "XGNUTIL.exe").string() + "\n"},
      {"a code longer than 8 characters",
       {"XNMPAYROLL", "-x"},
       std::nullopt,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       bin + "/XNMPAYRO.exe\n-x\n"},
      {"a code of one character",
       {"A"},
       std::nullopt,
       "Garh/.e/bin/A.exe",
       "Garh\\.e\\bin\\",
       {},
       0,
       (LocalRoot() / "Garh" / ".e" / "bin" / "A.exe").string() + "\n"},
      {"blanks and control characters around the code",
       {" \tXNMPAYRO \n", "x"},
       std::nullopt,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       bin + "/XNMPAYRO.exe\nx\n"},
      {"a lower-case code finds the program in any case",
       {"xnmpayro"},
       std::nullopt,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\nm\\bin\\",
       {},
       0,
       bin + "/XNMPAYRO.exe\n"},
      {"a lower-case common module",
       {"xgnutil"},
       std::nullopt,
       "Ggen/bin/XGNUTIL.exe",
       "Ggen\\bin\\",
       {},
       0,
       (LocalRoot() / "Ggen" / "bin" / "XGNUTIL.exe").string() + "\n"},
      {"empty arguments are passed on in their places",
       {"XNMPAYRO", "", "b", ""},
       std::nullopt,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       bin + "/XNMPAYRO.exe\n\nb\n\n"},
      {"a failed update starts nothing",
       {"XNMPAYRO", "first"},
       std::nullopt,
       nullptr,
       "Garh\\NM\\bin\\",
       {kNeitherFound},
       1,
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    fs::remove(record);
    if (row.server) Put(ServerCopy(), kNewBuild.bytes, *row.server);
    if (row.installed) Put(LocalRoot() / row.installed, kOldBuild.bytes, kNewer);

    RunOptions options;
    options.program = "bash";
    options.arguments = {launcher.string()};
    options.arguments.insert(options.arguments.end(), row.arguments.begin(), row.arguments.end());
    options.environment = Environment();
    options.environment["RUD"] = RUD_NATIVE_BINARY;
    options.environment["ZARVEK_SERVER"] = Server().string();
    options.environment["ZARVEK_RUNNER"] = runner.string();
    options.environment["ZARVEK_RECORD"] = record.string();
    RunResult result = world().Run(options);

    std::vector<std::string> lines = Head(Server().string(), row.arguments[0], row.folder);
    lines.insert(lines.end(), row.rudLines.begin(), row.rudLines.end());
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, row.exitCode);
    EXPECT_EQ(ReadIfThere(record), row.started);
  }
}

TEST_P(UpdateNative, TheShellLauncherWantsAProgramCode) {
  RunOptions options;
  options.program = "bash";
  options.arguments = {(fs::path(RUD_SOURCE_DIR) / "examples" / "lanzar.sh").string()};
  options.environment = {{"RUD", "false"}, {"ZARVEK_RUNNER", "false"}};
  RunResult result = world().Run(options);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "Uso: lanzar.sh CODIGO-DE-PROGRAMA [ARGUMENTOS...]\n");
  EXPECT_EQ(result.exitCode, 2);
}

TEST_P(UpdateWine, TheBatchLauncherStartsTheUpdatedProgram) {
  // The launcher with rud.exe beside it, run by Wine's cmd; the program it
  // starts is a stand-in that records how it was started.
  const fs::path folder = world().folder() / "launcher";
  fs::create_directories(folder);
  fs::copy_file(fs::path(RUD_SOURCE_DIR) / "examples" / "lanzar.cmd", folder / "lanzar.cmd");
  fs::copy_file(WindowsBuildFolder() / "rud.exe", folder / "rud.exe");
  const std::string standIn = ReadFileBytes(WindowsBuildFolder() / "tests" / "record_start.exe");
  const fs::path record = world().folder() / "started.txt";

  struct Row {
    const char* name;
    std::vector<std::string> arguments;
    bool onServer;          // the stand-in on the server, newer
    const char* installed;  // where the stand-in is installed before the run, if anywhere
    const char* folder;     // rud's "Ruta del archivo: " line
    std::vector<std::string> rudLines;
    int exitCode;
    std::string started;
  };
  const Row rows[] = {
      {"an update, then the program",
       {"XNMPAYRO", "first", "second argument"},
       true,
       nullptr,
       "Garh\\NM\\bin\\",
       {"Nueva Versión: 3.1.4.1 " + DateText(kNewer), kLocalMissing, kSuccess},
       0,
       "C:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe\nfirst\nsecond argument\n"},
      {"a code longer than 8 characters",
       {"XNMPAYROLL"},
       false,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       "C:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe\n"},
      {"a code of one character",
       {"A"},
       false,
       "Garh/.e/bin/A.exe",
       "Garh\\.e\\bin\\",
       {},
       0,
       "C:\\ZARVEK\\Garh\\.e\\bin\\A.exe\n"},
      {"blanks around the code",
       {" XNMPAYRO ", "x"},
       false,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       "C:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe\nx\n"},
      {"a lower-case code in the common module",
       {"xgnutil"},
       false,
       "Ggen/bin/XGNUTIL.exe",
       "Ggen\\bin\\",
       {},
       0,
       "C:\\ZARVEK\\Ggen\\bin\\XGNUTIL.exe\n"},
      {"empty arguments are passed on in their places",
       {"XNMPAYRO", "", "b", ""},
       false,
       "Garh/NM/bin/XNMPAYRO.exe",
       "Garh\\NM\\bin\\",
       {},
       0,
       "C:\\ZARVEK\\Garh\\NM\\bin\\XNMPAYRO.exe\n\nb\n\n"},
      {"a failed update starts nothing",
       {"XNMPAYRO", "first"},
       false,
       nullptr,
       "Garh\\NM\\bin\\",
       {kNeitherFound},
       1,
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Reset();
    fs::remove(record);
    if (row.onServer) Put(ServerCopy(), standIn, kNewer);
    if (row.installed) Put(LocalRoot() / row.installed, standIn, kNewer);

    RunOptions options;
    options.program = "cmd";
    options.arguments = {"/c", world().ProgramPathOf(folder / "lanzar.cmd")};
    options.arguments.insert(options.arguments.end(), row.arguments.begin(), row.arguments.end());
    options.environment = Environment();
    options.environment["ZARVEK_SERVER"] = ServerArgument();
    options.environment["ZARVEK_RECORD"] = world().ProgramPathOf(record);
    options.timeLimit = std::chrono::seconds(60);
    RunResult result = world().Run(options);

    std::vector<std::string> lines = Head(ServerArgument(), row.arguments[0], row.folder);
    lines.insert(lines.end(), row.rudLines.begin(), row.rudLines.end());
    ExpectOutput(result.out, lines);
    EXPECT_EQ(result.exitCode, row.exitCode);
    EXPECT_EQ(ReadIfThere(record), row.started);
  }
}

// The log never changes a run: with no log, or one that never reads (where
// the C library's syslog() would wait for room for ever), an update shows the
// same lines and exit code, and does not wait.
TEST_P(UpdateNative, AMissingOrFullLogLeavesTheRunAsItIs) {
  if (std::optional<std::string> why = SystemLogUnavailable()) GTEST_SKIP() << *why;
  std::string withTheLog;  // the update's lines where rsyslogd takes its record
  for (LogReceiver receiver : {LogReceiver::Rsyslog, LogReceiver::None, LogReceiver::Full}) {
    SCOPED_TRACE(static_cast<int>(receiver));
    Reset();
    Put(LocalCopy(), kOldBuild.bytes, kOlder);
    Put(ServerCopy(), kNewBuild.bytes, kNewer);
    receiver_ = receiver;
    const RunResult update = RunRud();
    if (receiver == LogReceiver::Rsyslog) withTheLog = update.out;
    EXPECT_EQ(update.out, withTheLog);
    ExpectRecords(receiver == LogReceiver::Rsyslog ? std::vector<Record>{Installed(kNewer, kOlder)}
                                                   : std::vector<Record>{});
    EXPECT_EQ(update.exitCode, 0);
    EXPECT_EQ(update.err, "");
    EXPECT_EQ(ReadFileBytes(LocalCopy()), kNewBuild.bytes);
    EXPECT_FALSE(update.timedOut);
  }
}

// A run with nothing to do, the common case at every login, does not even
// connect to the log; an update connects once and sends its one record.
TEST_P(UpdateNative, OnlyARunWithARecordConnectsToTheLog) {
  if (std::optional<std::string> why = SystemLogUnavailable()) GTEST_SKIP() << *why;
  PrivateSystemLog()->Use(LogReceiver::Rsyslog);
  Put(LocalCopy(), kOldBuild.bytes, kOlder);
  Put(ServerCopy(), kNewBuild.bytes, kNewer);
  const fs::path trace = world().folder() / "calls.txt";
  for (const bool updates : {true, false}) {
    SCOPED_TRACE(updates ? "an update" : "nothing to do");
    RunOptions options;
    options.program = "nsenter";
    options.arguments = PrivateSystemLog()->Enter();
    options.arguments.insert(options.arguments.end(), {"strace", "-f", "-qq", "-e", "trace=%network", "-o",
                                                       trace.string(), RUD_NATIVE_BINARY, ServerArgument(),
                                                       "XNMPAYRO"});
    options.environment = Environment();
    const RunResult result = world().Run(options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string calls = ReadFileBytes(trace);
    if (updates) {
      EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 3) << calls;
      EXPECT_NE(calls.find("socket(AF_UNIX, SOCK_DGRAM|SOCK_CLOEXEC|SOCK_NONBLOCK"), std::string::npos) << calls;
      EXPECT_NE(calls.find("sun_path=\"/dev/log\""), std::string::npos) << calls;
      EXPECT_NE(calls.find("MSG_DONTWAIT|MSG_NOSIGNAL"), std::string::npos) << calls;
    } else {
      EXPECT_EQ(calls, "");
    }
    EXPECT_EQ(PrivateSystemLog()->Take().size(), updates ? 1u : 0u);
  }
}

// The ZIP's registration command, run as an administrator runs it, registers
// the source with rud.exe's messages; with /quitar it takes both away.
TEST_P(UpdateWine, TheRegistrationCommandRegistersTheEventSource) {
  const fs::path zip = world().folder() / "zip";
  fs::create_directories(zip);
  fs::copy_file(fs::path(RUD_SOURCE_DIR) / "examples" / "registrar-eventos.cmd", zip / "registrar-eventos.cmd");
  fs::copy_file(WindowsBuildFolder() / "rud.exe", zip / "rud.exe");
  const fs::path installed = world().DriveC() / "Program Files" / "ZARVEK" / "RUD" / "rud.exe";
  auto run = [&](const std::string& program, std::vector<std::string> arguments) {
    RunOptions options;
    options.program = program;
    options.arguments = std::move(arguments);
    return world().Run(options);
  };
  const std::string command = world().ProgramPathOf(zip / "registrar-eventos.cmd");
  const std::vector<std::string> query = {"query", "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ZARVEK RUD"};

  EXPECT_EQ(run("cmd", {"/c", command}).exitCode, 0);
  const std::string key = run("reg", query).out;
  EXPECT_NE(key.find("EventMessageFile    REG_EXPAND_SZ    C:\\Program Files\\ZARVEK\\RUD\\rud.exe"), std::string::npos) << key;
  EXPECT_NE(key.find("TypesSupported    REG_DWORD    0x7"), std::string::npos) << key;
  EXPECT_TRUE(ReadIfThere(installed) == ReadFileBytes(zip / "rud.exe")) << "the copy the event log reads";

  EXPECT_EQ(run("cmd", {"/c", command, "/quitar"}).exitCode, 0);
  EXPECT_NE(run("reg", query).exitCode, 0);
  EXPECT_FALSE(fs::exists(installed));
}

// rud.exe's own version resource, read back by our reader.
TEST(RudExecutable, CarriesItsOwnVersionResource) {
  const fs::path build = WindowsBuildFolder();
  if (build.empty()) GTEST_SKIP() << "RUD_WINDOWS_BUILD is not set (a Windows build folder)";
  const fs::path exe = build / "rud.exe";
  if (!fs::exists(exe)) GTEST_SKIP() << "no rud.exe in " << build;
  const TEXEVersionData version = GetEXEVersionData(AsciiText(exe.string()));
  EXPECT_EQ(version.CompanyName, u"ZARVEK");
  EXPECT_EQ(version.FileDescription, u"ZARVEK RUD: servicio de actualizaci\u00F3n de programas");
  EXPECT_EQ(version.FileVersion, u"12.6");
  EXPECT_EQ(version.ProductVersion, u"12.6");
  EXPECT_EQ(version.OriginalFileName, u"rud.exe");
  EXPECT_EQ(version.InternalName, u"rud");
  EXPECT_EQ(version.ProductName, u"ZARVEK");
  EXPECT_EQ(version.LegalCopyright, u"\u00A9 ZARVEK. Todos los derechos reservados.");
  EXPECT_EQ(version.Comments, u"");
  EXPECT_FALSE(version.DateModified.empty());
}

}  // namespace
