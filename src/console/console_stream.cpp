#include "console/console_stream.h"

#include <algorithm>
#include <atomic>
#include <string>

#include "console/exceptions.h"
#include "platform/win32.h"

constinit thread_local int32_t PendingIOError = 0;

namespace {

// The stream's own code for standard output without a usable handle.
constexpr int32_t kNoUsableOutput = 105;
constexpr uint8_t kEndOfInputCharacter = 26;  // Ctrl+Z

// Read once at start-up: the code page of every standard stream that is not
// a console.
uint16_t systemAnsiCodePage = 0;

// Constant-initialised, so they are ready before any start-up code runs and
// safe to look at from a fault report.
constinit ConsoleStream streams[3] = {
    ConsoleStream::OverStandardHandle(STD_INPUT_HANDLE),
    ConsoleStream::OverStandardHandle(STD_OUTPUT_HANDLE),
    ConsoleStream::OverStandardHandle(STD_ERROR_HANDLE),
};

void StoreLastError() { PendingIOError = static_cast<int32_t>(GetLastError()); }

}  // namespace

void StartConsoleStreams() {
  for (ConsoleStream& stream : streams) {
    stream.Mode = StreamMode::Closed;
    stream.Fill = stream.Position = stream.End = 0;
  }
  systemAnsiCodePage = static_cast<uint16_t>(GetACP());
  PendingIOError = 0;
}

ConsoleStream& StandardInput() { return streams[0]; }
ConsoleStream& StandardOutput() { return streams[1]; }

bool ConsoleStream::Open(StreamMode mode) {
  LineEndStyle = true;
  Handle = StandardHandle != 0 ? GetStdHandle(StandardHandle) : OwnHandle;
  Fill = Position = End = 0;
  if (CodePage == 0) {
    if (GetFileType(Handle) == FILE_TYPE_CHAR) {
      CodePage = static_cast<uint16_t>(mode == StreamMode::Output ? GetConsoleOutputCP()
                                                                  : GetConsoleCP());
    } else {
      CodePage = systemAnsiCodePage;
    }
  }
  if (mode == StreamMode::Input) {
    // A bad input handle shows up at the first read.
    Seekable = GetFileType(Handle) == FILE_TYPE_DISK;
    Mode = StreamMode::Input;
    return true;
  }
  DWORD type = GetFileType(Handle);
  if (type == FILE_TYPE_UNKNOWN) {
    CloseHandle(Handle);
    PendingIOError = kNoUsableOutput;
    return false;  // still closed: the next write tries again
  }
  FlushPerLine = type == FILE_TYPE_CHAR;
  Mode = StreamMode::Output;
  return true;
}

void ConsoleStream::Write(TextView text) {
  if (Mode != StreamMode::Output && !Open(StreamMode::Output)) return;
  const std::string bytes = EncodedText(CodePage, text);
  Append(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

std::string EncodedText(uint32_t codePage, TextView text) {
  if (text.empty()) return {};
  const auto* units = reinterpret_cast<const WCHAR*>(text.data());
  int length = static_cast<int>(text.size());
  int size = WideCharToMultiByte(codePage, 0, units, length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  size = WideCharToMultiByte(codePage, 0, units, length, bytes.data(), size, nullptr, nullptr);
  bytes.resize(size > 0 ? static_cast<size_t>(size) : 0);
  return bytes;
}

void ConsoleStream::Append(const char* bytes, uint32_t count) {
  while (count > 0) {
    uint32_t piece = std::min(count, kBufferSize - Fill);
    std::copy(bytes, bytes + piece, Buffer + Fill);
    // The bytes are in place before they are counted: a stop signal's last
    // write-out may come between any two steps.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    Fill += piece;
    bytes += piece;
    count -= piece;
    // A failed write-out loses the rest of the text along with the buffer.
    if (Fill == kBufferSize && !WriteOut()) return;
  }
}

void ConsoleStream::EndLine() {
  if (Mode != StreamMode::Output && !Open(StreamMode::Output)) return;
  static constexpr char kLineEnd[] = {13, 10};
  Append(kLineEnd, 2);
  if (FlushPerLine) WriteOut();
}

bool ConsoleStream::WriteOut() {
  const uint32_t count = Fill;
  if (count == 0) return true;
  // A short write goes unnoticed; a failed one loses its bytes. The buffer
  // counts as empty before the write, so a stop signal's last write-out that
  // comes in the middle of it does not write the same bytes twice.
  Fill = 0;
  std::atomic_signal_fence(std::memory_order_seq_cst);
  DWORD written = 0;
  BOOL ok = WriteFile(Handle, Buffer, count, &written, nullptr);
  if (!ok) StoreLastError();
  return ok != FALSE;
}

bool ConsoleStream::Refill(uint32_t size) {
  DWORD read = 0;
  Position = End = 0;
  if (!ReadFile(Handle, Buffer, size, &read, nullptr)) {
    // A pipe whose writer has gone is the end of the input, not a failure.
    if (GetLastError() != ERROR_BROKEN_PIPE) StoreLastError();
    return false;
  }
  End = std::min<DWORD>(read, size);
  return End > 0;
}

void ConsoleStream::GiveBackUnread(uint32_t taken) {
  if (taken >= End) return;
  const LONG readPast = -static_cast<LONG>(End - taken);
  // Where the seek fails the bytes are only dropped, as before.
  SetFilePointer(Handle, readPast, nullptr, FILE_CURRENT);
  End = taken;
}

void ConsoleStream::SkipLine() {
  if (Mode != StreamMode::Input) Open(StreamMode::Input);
  // The shell that runs a script from this input, or the loop that reads a
  // list from it, goes on after our line: a pipe or a terminal is read a
  // byte at a time so nothing past the line is taken, a file is read in
  // whole buffers and the reader put back after the line.
  const uint32_t pieceSize = Seekable ? kBufferSize : 1;
  for (;;) {
    if (Position >= End && !Refill(pieceSize)) return;
    uint8_t c = Buffer[Position];
    if (c == kEndOfInputCharacter && LineEndStyle) {
      // The input ends here. The character stays in the buffer, so this
      // stream stays ended; the caller goes on after it, from a file as from
      // a pipe, which can't be given it back.
      if (Seekable) GiveBackUnread(Position + 1);
      return;
    }
    ++Position;
    if (c == 10) break;
  }
  if (Seekable) GiveBackUnread(Position);
}

void ConsoleStream::Close() {
  if (Mode == StreamMode::Output) {
    // The last write-out's failure is not reported anywhere.
    int32_t pending = PendingIOError;
    WriteOut();
    PendingIOError = pending;
  }
  Position = End = Fill = 0;
  Mode = StreamMode::Closed;
}

void CloseConsoleStreams() {
  for (ConsoleStream& stream : streams) stream.Close();
}

void WriteLine(std::initializer_list<TextView> texts) {
  ConsoleStream& out = StandardOutput();
  for (TextView text : texts) out.Write(text);
  out.EndLine();
  CheckIOError();
}

void SkipLine() {
  StandardInput().SkipLine();
  CheckIOError();
}

void CheckIOError() {
  if (PendingIOError == 0) return;
  int32_t code = PendingIOError;
  PendingIOError = 0;
  throw EInOutError(code, IOErrorMessage(code));
}

Text IOErrorMessage(int32_t code) {
  switch (code) {
    case 2:
      return u"The specified file was not found";
    case 3:
      // The stored text names a file ("Invalid file name - %s"), but a code
      // alone carries none; the message keeps the part that stands without it.
      return u"Invalid file name";
    case 4:
      return u"Too many open files";
    case 5:
      return u"File access denied";
    case 100:
      return u"Read beyond end of file";
    case 101:
      return u"Disk full";
    case 106:
      return u"Invalid numeric input";
    default:
      return u"I/O error " + DecimalText(code);
  }
}
