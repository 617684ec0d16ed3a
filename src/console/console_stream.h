// The buffered text streams over the process's standard handles.
//
// Output is encoded into the stream's code page and handed to the handle in
// 128-byte pieces: when the buffer fills, at a line end on a console, or when
// the process ends. A failed read or write does not raise where it fails: it
// leaves its code in PendingIOError, and the check that ends every line
// statement (CheckIOError) turns that code into an EInOutError.
#pragma once

#include <string>

#include <cstdint>
#include <initializer_list>

#include "console/text.h"

enum class StreamMode : uint8_t { Closed, Input, Output };

struct ConsoleStream {
  static constexpr uint32_t kBufferSize = 128;

  // A stream over the standard handle `standardHandle` (STD_OUTPUT_HANDLE...),
  // fetched anew every time the stream opens.
  static constexpr ConsoleStream OverStandardHandle(uint32_t standardHandle) {
    return ConsoleStream(standardHandle, nullptr);
  }
  // A stream over a handle of the caller's, for a pipe or file of its own.
  static ConsoleStream OverHandle(void* handle) { return ConsoleStream(0, handle); }

  // Writes the text, encoded, into the buffer; a buffer that fills is written
  // out at once. Opens the stream first; while that fails the text is dropped.
  void Write(TextView text);
  // CR LF, then a write-out when the stream flushes per line (a console).
  void EndLine();
  // Hands the buffered bytes to the handle; false when that failed (the
  // bytes are lost all the same and PendingIOError holds the code).
  bool WriteOut();
  // Reads one line (up to and including a LF) and discards it. The input may
  // be shared with the caller (a script read by its shell, a loop's list):
  // no byte after the line is taken from it.
  void SkipLine();
  // The end-of-process close: output is written out with its failure
  // ignored, unread input is dropped; the handle itself stays open.
  void Close();

  uint32_t StandardHandle;  // 0 for a stream over a handle of its own
  void* OwnHandle;
  void* Handle = nullptr;
  StreamMode Mode = StreamMode::Closed;
  // Settled at the first open and kept from then on; 0 = not yet settled.
  uint16_t CodePage = 0;
  // With it a line ends in CR LF and a character 26 in the input ends it.
  bool LineEndStyle = false;
  bool FlushPerLine = false;
  // Input only, set when it opens: a disk file, read in whole buffers, gets
  // back what was read past a line; anything else is read a byte at a time.
  bool Seekable = false;
  uint8_t Buffer[kBufferSize] = {};
  uint32_t Fill = 0;      // output: bytes waiting
  uint32_t Position = 0;  // input: the next byte to consume
  uint32_t End = 0;       // input: bytes read into the buffer

 private:
  constexpr ConsoleStream(uint32_t standardHandle, void* ownHandle)
      : StandardHandle(standardHandle), OwnHandle(ownHandle) {}
  bool Open(StreamMode mode);
  void Append(const char* bytes, uint32_t count);
  bool Refill(uint32_t size);
  // A file read past the bytes taken is put back to the first one not taken.
  void GiveBackUnread(uint32_t taken);
};

// Start-up: the three standard streams are marked closed and the system ANSI
// code page, the code page of every stream that is not a console, is read.
void StartConsoleStreams();

ConsoleStream& StandardInput();
ConsoleStream& StandardOutput();

// The code of the last failed stream operation on this thread; 0 when none.
extern thread_local constinit int32_t PendingIOError;

// Writes the texts to standard output one after another, each a write of its
// own, then the line end; then CheckIOError.
void WriteLine(std::initializer_list<TextView> texts);

// Reads one line of standard input and discards it; then CheckIOError.
void SkipLine();

// Raises EInOutError for a pending I/O error code and clears it.
void CheckIOError();

// The message of EInOutError for an I/O error code.
Text IOErrorMessage(int32_t code);

// The end of the process for the streams: every standard stream is closed.
void CloseConsoleStreams();

// The text in the code page's bytes, as WideCharToMultiByte gives them (no
// default character of our own); empty when the text encodes to nothing.
std::string EncodedText(uint32_t codePage, TextView text);
