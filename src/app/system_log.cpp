#include "app/system_log.h"

#include <initializer_list>
#include <vector>

#include "console/command_line.h"
#include "console/console_stream.h"
#include "console/shown_text.h"
#include "platform/event_source.h"
#include "platform/win32.h"

namespace {

bool failureLogged = false;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

// The number with at least `digits` digits.
Text Padded(unsigned number, size_t digits) {
  Text text = DecimalText(number);
  if (text.size() < digits) text.insert(0, digits - text.size(), u'0');
  return text;
}

// A report of several lines as one: each line break is a blank.
Text OneLine(TextView report) {
  Text line;
  for (size_t at = 0; at < report.size(); ++at) {
    if (report[at] == u'\r' && at + 1 < report.size() && report[at + 1] == u'\n') ++at;
    line += report[at] == u'\r' || report[at] == u'\n' ? u' ' : report[at];
  }
  while (!line.empty() && line.back() == u' ') line.pop_back();
  return line;
}

// A version string as the console's version lines show it.
Text LogVersion(const TEXEVersionData& version) {
  return LogField(WithoutBlankRuns(version.FileVersion), kVersionRoom);
}

// The program code as typed, the first insert of every record.
Text ProgramCode() { return LogField(GetArgument(2), kCodeRoom); }

// One record: the source is opened for it and closed after it. Whatever
// fails is let go, and the caller's last error is kept.
void Report(WORD type, DWORD eventId, std::initializer_list<Text> inserts) {
  const DWORD lastError = GetLastError();
  std::vector<LPCWSTR> strings;
  for (const Text& insert : inserts) strings.push_back(W(insert));
  if (HANDLE log = RegisterEventSourceW(nullptr, W(kEventSourceName))) {
    ReportEventW(log, type, 0, eventId, nullptr, static_cast<WORD>(strings.size()), 0, strings.data(),
                 nullptr);
    DeregisterEventSource(log);
  }
  SetLastError(lastError);
}

}  // namespace

Text LogField(TextView text, size_t room) {
  Text field = ShownText(StandardOutput().CodePage, text);
  if (field.size() <= room) return field;
  size_t cut = room - 1;
  if (cut > 0 && IsHighSurrogate(field[cut - 1])) --cut;
  field.resize(cut);
  return field + u"…";
}

Text UtcTimeText(const FILETIME& time) {
  SYSTEMTIME utc{};
  if (!FileTimeToSystemTime(&time, &utc)) return Text();
  return Padded(utc.wYear, 4) + u"-" + Padded(utc.wMonth, 2) + u"-" + Padded(utc.wDay, 2) + u"T" +
         Padded(utc.wHour, 2) + u":" + Padded(utc.wMinute, 2) + u":" + Padded(utc.wSecond, 2) + u"Z";
}

void LogInstalled(const Text& serverCopy, const TEXEVersionData& newVersion,
                  const FileDateTimeInfo& newStamp, const TEXEVersionData* oldVersion,
                  const FileDateTimeInfo& oldStamp) {
  try {
    Report(EVENTLOG_INFORMATION_TYPE, MSG_INSTALLED,
           {ProgramCode(), LogField(serverCopy, kPathRoom), LogVersion(newVersion),
            UtcTimeText(newStamp.ftLastWriteTime),
            oldVersion != nullptr ? LogVersion(*oldVersion) : Text(u"ninguna"),
            oldVersion != nullptr ? UtcTimeText(oldStamp.ftLastWriteTime)
                                  : Text(u"archivo local no encontrado")});
  } catch (...) {
  }
}

void LogServerCopyMissing(const Text& serverCopy) {
  try {
    Report(EVENTLOG_WARNING_TYPE, MSG_SERVER_COPY_MISSING,
           {ProgramCode(), LogField(serverCopy, kPathRoom)});
  } catch (...) {
  }
}

void LogFailure(const Exception& error) {
  failureLogged = true;
  try {
    Report(EVENTLOG_ERROR_TYPE, MSG_FAILED,
           {ProgramCode(), LogField(GetArgument(1), kPathRoom),
            LogField(OneLine(error.ClassName() + u": " + error.Message), kReportRoom)});
  } catch (...) {
  }
}

void LogEscapedReport(TextView report) {
  if (failureLogged) return;
  failureLogged = true;
  try {
    Report(EVENTLOG_ERROR_TYPE, MSG_FAILED,
           {ProgramCode(), LogField(GetArgument(1), kPathRoom), LogField(OneLine(report), kReportRoom)});
  } catch (...) {
  }
}
