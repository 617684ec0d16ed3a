#include "console/process_end.h"

#include <exception>
#include <new>
#include <string>

#include "console/console_stream.h"
#include "platform/code_address.h"
#include "platform/win32.h"

int32_t ExitCode = 0;
void (*UncaughtErrorListener)(TextView report) = nullptr;

namespace {

constexpr size_t kReportLimit = 1024;
// A module name fits the same room as the program's own path.
constexpr DWORD kModuleNameRoom = 261;
// Code without a module is shown relative to where the program's code starts.
constexpr uintptr_t kCodeStart = 0x1000;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// At least eight uppercase hexadecimal digits, leading zeros kept.
Text HexText(uintptr_t value) {
  Text digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(kHexDigits[value & 0xF]));
    value >>= 4;
  } while (value != 0);
  if (digits.size() < 8) digits.insert(0, 8 - digits.size(), u'0');
  return digits;
}

// The module that holds a code address, and the address's offset from the
// module's load address. Allocates nothing: a fault report may ask.
bool ModuleHolding(const void* address, HMODULE& module, uintptr_t& offset) {
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(address), &module) || module == nullptr) {
    return false;
  }
  offset = reinterpret_cast<uintptr_t>(address) - reinterpret_cast<uintptr_t>(module);
  return true;
}

Text ModuleFileName(HMODULE module) {
  char16_t path[kModuleNameRoom] = {};
  DWORD length = GetModuleFileNameW(module, W(path), kModuleNameRoom);
  if (length > kModuleNameRoom) length = kModuleNameRoom;
  TextView reported(path, length);
  return Text(reported.substr(0, reported.find(u'\0')));
}

// The part after the last backslash.
Text FileNameOf(TextView path) {
  size_t slash = path.rfind(u'\\');
  return Text(slash == TextView::npos ? path : path.substr(slash + 1));
}

// Writes the text to the standard-error handle in the OEM code page; a
// failure is ignored, there is nowhere left to report it.
void WriteToStandardError(TextView text) {
  const std::string bytes = EncodedText(CP_OEMCP, text);
  if (bytes.empty()) return;
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

[[noreturn]] void OnTerminate() {
  const void* address = __builtin_return_address(0);
  if (std::current_exception() != nullptr) {
    try {
      std::rethrow_exception(std::current_exception());
    } catch (const std::bad_alloc&) {
      ReportRuntimeError(runtime_error_number::kOutOfMemory, address);
    } catch (...) {
    }
  }
  ReportRuntimeError(runtime_error_number::kOtherFault, address);
}

}  // namespace

void EndProcess() {
  CloseConsoleStreams();
  ExitProcess(static_cast<UINT>(ExitCode));
}

RuntimeErrorLineBytes RuntimeErrorLine(int32_t number, uintptr_t address) {
  RuntimeErrorLineBytes line{};
  size_t n = 0;
  for (const char* p = "Runtime error "; *p != '\0'; ++p) line.bytes[n++] = *p;

  char digits[12];
  size_t count = 0;
  uint32_t magnitude = number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) digits[count++] = '-';
  for (size_t column = count; column < 3; ++column) line.bytes[n++] = ' ';
  while (count > 0) line.bytes[n++] = digits[--count];

  for (const char* p = " at "; *p != '\0'; ++p) line.bytes[n++] = *p;
  char hex[2 * sizeof(uintptr_t)];
  count = 0;
  do {
    hex[count++] = kHexDigits[address & 0xF];
    address >>= 4;
  } while (address != 0);
  for (size_t column = count; column < 8; ++column) line.bytes[n++] = '0';
  while (count > 0) line.bytes[n++] = hex[--count];

  line.bytes[n++] = 13;
  line.bytes[n++] = 10;
  line.length = n;
  return line;
}

Text EscapedErrorReport(TextView className, TextView moduleName, uintptr_t moduleOffset,
                        TextView message) {
  bool needsDot = !message.empty() && message.back() != u'.';
  Text report = u"Exception ";
  report.append(className).append(u" in module ").append(moduleName);
  report.append(u" at ").append(HexText(moduleOffset)).append(u".\r\n");
  report.append(message).append(needsDot ? u"." : u"").append(u"\r\n");
  if (report.size() > kReportLimit) report.resize(kReportLimit);
  return report;
}

CodeLocation LocateCode(const void* address) {
  HMODULE module = nullptr;
  uintptr_t offset = 0;
  if (ModuleHolding(address, module, offset)) {
    Text path = ModuleFileName(module);
    if (!path.empty()) return {FileNameOf(path), offset};
  }
  return {FileNameOf(ModuleFileName(nullptr)), reinterpret_cast<uintptr_t>(address) - kCodeStart};
}

uintptr_t ShownCodeAddress(const void* address) {
  const uintptr_t absolute = reinterpret_cast<uintptr_t>(address);
  HMODULE module = nullptr;
  uintptr_t offset = 0;
  if (kCodeAddressShownAsIs || !ModuleHolding(address, module, offset)) return absolute;
  return offset;
}

void ReportUncaughtError(const Exception& error, const void* address) {
  // Pending standard output goes first; a failure of that write is reported
  // in place of the error that brought us here.
  const Exception* reported = &error;
  EInOutError outputFailure(0, Text());
  StandardOutput().WriteOut();
  try {
    CheckIOError();
  } catch (const EInOutError& failure) {
    outputFailure = failure;
    reported = &outputFailure;
    address = failure.RaiseAddress;
  }

  CodeLocation location = LocateCode(address);
  const Text report =
      EscapedErrorReport(reported->ClassName(), location.ModuleName, location.Offset, reported->Message);
  WriteToStandardError(report);
  WriteToStandardError(u"\r\n");
  if (UncaughtErrorListener != nullptr) UncaughtErrorListener(report);
  ExitCode = 1;
  EndProcess();
}

void ReportRuntimeError(int32_t number, const void* address) {
  RuntimeErrorLineBytes line = RuntimeErrorLine(number, ShownCodeAddress(address));
  ConsoleStream& out = StandardOutput();
  if (out.Mode == StreamMode::Output && out.Fill > 0) out.WriteOut();
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(handle, line.bytes, static_cast<DWORD>(line.length - 2), &written, nullptr);
  WriteFile(handle, line.bytes + line.length - 2, 2, &written, nullptr);
  ExitCode = number;
  EndProcess();
}

int32_t RuntimeErrorNumber(FatalFault fault) {
  using namespace runtime_error_number;
  switch (fault) {
    case FatalFault::DivisionByZero:
      return kDivisionByZero;
    case FatalFault::ArrayBounds:
      return kArrayBounds;
    case FatalFault::StackOverflow:
      return kStackOverflow;
    case FatalFault::FloatOverflow:
      return kFloatOverflow;
    case FatalFault::FloatUnderflow:
      return kFloatUnderflow;
    case FatalFault::InvalidFloatOperation:
      return kInvalidFloatOperation;
    case FatalFault::IntegerOverflow:
      return kIntegerOverflow;
    case FatalFault::AccessViolation:
      return kAccessViolation;
    case FatalFault::Other:
      break;
  }
  return kOtherFault;
}

void ReportFatalFault(FatalFault fault, const void* address) {
  ReportRuntimeError(RuntimeErrorNumber(fault), address);
}

__attribute__((noinline)) void ReportEscapedFailure() {
  // Where the failure reached the top of the process.
  const void* address = __builtin_return_address(0);
  try {
    throw;
  } catch (const Exception& error) {
    ReportUncaughtError(error, error.RaiseAddress);
  } catch (const std::bad_alloc&) {
    ReportRuntimeError(runtime_error_number::kOutOfMemory, address);
  } catch (...) {
    ReportRuntimeError(runtime_error_number::kOtherFault, address);
  }
}

void WriteOutBeforeStop() {
  ConsoleStream& out = StandardOutput();
  if (out.Mode == StreamMode::Output) out.WriteOut();
}

void InstallTerminateHandler() { std::set_terminate(OnTerminate); }
