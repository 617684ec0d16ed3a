// The event log on POSIX: the system log, reached as syslog's C library
// function reaches it, through the datagram socket /dev/log where journald
// and rsyslog listen, but never waiting for it. A source is the syslog
// identifier (its name as given); an event is one datagram in the
// traditional format "<PRI>Mmm dd hh:mm:ss identifier[pid]: text", facility
// user, priority err, warning or info by the event type; the text is the
// event's message from the program's own message table (message_table.h)
// with the event's inserts filled in, in UTF-8 whatever the locale.
//
// The C library's syslog() is not used: it blocks in send() while the
// receiver's queue is full (a log that does not read), and it writes in the
// locale's encoding. Here the socket is non-blocking, so such a log only
// makes ReportEventW fail at once. A message is one line (a line break or
// any other control character in it is a blank) and is cut at a character
// boundary to what rsyslog accepts by default (8 KiB with its header); it is
// never split into two records.
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <string>

#include "platform/posix/files/handle.h"
#include "platform/posix/text/message_table.h"
#include "platform/posix/text/utf.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

constexpr char kLogSocket[] = "/dev/log";
constexpr size_t kMaxRecordBytes = 8192;
constexpr int kFacilityUser = 1 << 3;
constexpr int kPriorityError = 3;
constexpr int kPriorityWarning = 4;
constexpr int kPriorityInfo = 6;

struct EventSource : KernelObject {
  EventSource(int fd, std::string identifier) : fd(fd), identifier(std::move(identifier)) {}
  bool Close() override {
    ::close(fd);
    delete this;
    return true;
  }
  int fd;
  std::string identifier;
};

// A syslog tag ends at a blank, a colon or a bracket.
bool IsIdentifier(const std::string& name) {
  if (name.empty() || name.size() > 32) return false;
  for (unsigned char c : name) {
    if (c <= ' ' || c == ':' || c == '[' || c == ']' || c == 127) return false;
  }
  return true;
}

int Priority(WORD type) {
  if (type == EVENTLOG_ERROR_TYPE) return kPriorityError;
  if (type == EVENTLOG_WARNING_TYPE) return kPriorityWarning;
  return kPriorityInfo;
}

// The event's text: its message with the inserts, or for an ID the table
// lacks, the ID and the inserts, as the Event Viewer shows such an event.
std::u16string EventText(DWORD eventId, WORD count, LPCWSTR* strings) {
  if (const char16_t* message = OwnMessageText(eventId)) return FormattedMessage(message, strings, count);
  std::u16string text = u"Evento " + Utf16FromUtf8(std::to_string(eventId)) + u":";
  for (WORD k = 0; k < count; ++k) {
    if (strings[k] != nullptr) text += u" " + std::u16string(strings[k]);
  }
  return text;
}

// "<PRI>Mmm dd hh:mm:ss identifier[pid]: ", the month in English and the
// time local, as the C library's syslog() writes it.
std::string Header(int priority, const std::string& identifier) {
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  char header[96];
  std::snprintf(header, sizeof header, "<%d>%s %2d %02d:%02d:%02d %s[%d]: ", kFacilityUser | priority,
                kMonths[local.tm_mon % 12], local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                identifier.c_str(), static_cast<int>(getpid()));
  return header;
}

}  // namespace
}  // namespace posix

HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName) {
  if ((serverName != nullptr && serverName[0] != 0) || sourceName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string identifier = posix::Utf8FromUtf16(sourceName);
  if (!posix::IsIdentifier(identifier)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    posix::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  static_assert(sizeof posix::kLogSocket <= sizeof address.sun_path);
  std::copy(std::begin(posix::kLogSocket), std::end(posix::kLogSocket), address.sun_path);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int connectErrno = errno;
    ::close(fd);
    posix::SetLastErrorFromErrno(connectErrno);
    return nullptr;
  }
  return posix::HandleOf(new posix::EventSource(fd, std::move(identifier)));
}

BOOL ReportEventW(HANDLE eventLog, WORD type, WORD, DWORD eventId, PSID, WORD numStrings, DWORD,
                  LPCWSTR* strings, LPVOID) {
  auto* source = posix::ObjectAs<posix::EventSource>(eventLog);
  if (source == nullptr) return FALSE;
  if (numStrings > 0 && strings == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string text = posix::EventText(eventId, numStrings, strings);
  for (char16_t& c : text) {
    if (c < u' ' || c == 127) c = u' ';
  }
  while (!text.empty() && text.back() == u' ') text.pop_back();
  std::string record = posix::Header(posix::Priority(type), source->identifier) + posix::Utf8FromUtf16(text);
  if (record.size() > posix::kMaxRecordBytes) {
    size_t cut = posix::kMaxRecordBytes;
    while (cut > 0 && (static_cast<unsigned char>(record[cut]) & 0xC0) == 0x80) --cut;
    record.resize(cut);
  }
  if (send(source->fd, record.data(), record.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0) {
    posix::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

BOOL DeregisterEventSource(HANDLE eventLog) {
  auto* source = posix::ObjectAs<posix::EventSource>(eventLog);
  if (source == nullptr) return FALSE;
  return source->Close() ? TRUE : FALSE;
}
