// The process's modules and its end. An HMODULE is the load address of an
// ELF object (what dladdr reports as its base); the program's own file is
// /proc/self/exe, or without /proc the file execve was given. Paths come
// back in Windows form, '/' shown as '\', which HostPathOf turns back into
// the same host path.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <string>

#include "platform/posix/files/host_path.h"
#include "platform/posix/text/utf.h"
#include "platform/posix/win32_api.h"

namespace {

// The file the kernel started, by the path the caller gave execve (the
// auxiliary vector keeps it, whatever argv[0] says), made absolute and free
// of links. For a system without /proc.
bool StartedFilePath(std::string& path) {
  const char* started = reinterpret_cast<const char*>(getauxval(AT_EXECFN));
  if (started == nullptr || started[0] == '\0') {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  path = posix::RealPathOf(started);
  if (path.empty()) path = started;
  return true;
}

bool ExecutablePath(std::string& path) {
  return posix::LinkTextAt(AT_FDCWD, "/proc/self/exe", path) || StartedFilePath(path);
}

// The host path of the module loaded at `module`; null is the program.
bool ModulePath(HMODULE module, std::string& path) {
  if (module == nullptr) return ExecutablePath(path);
  Dl_info info = {};
  link_map* map = nullptr;
  if (dladdr1(module, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
      info.dli_fbase != static_cast<void*>(module)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return false;
  }
  // The program itself has no name in its link map.
  if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') {
    return ExecutablePath(path);
  }
  path = map->l_name;
  return true;
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  std::string hostPath;
  if (!ModulePath(module, hostPath)) return 0;
  std::u16string path = posix::Utf16FromUtf8(hostPath);
  for (char16_t& c : path) {
    if (c == u'/') c = u'\\';
  }
  if (path.size() < size) {
    path.copy(fileName, path.size());
    fileName[path.size()] = u'\0';
    return static_cast<DWORD>(path.size());
  }
  // Cut to the room, the terminating null included, as Windows does.
  if (size > 0) {
    path.copy(fileName, size - 1);
    fileName[size - 1] = u'\0';
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module) {
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *module = nullptr;
  // By address, or the program itself (no name); modules by name are not
  // looked up here.
  const void* address = moduleName;
  if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) == 0) {
    if (moduleName != nullptr) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return FALSE;
    }
    address = reinterpret_cast<const void*>(getauxval(AT_PHDR));
  }
  // A fault report asks this too. The program has one thread; the loader's
  // lock, should the fault have come inside the loader, is taken again by
  // the same thread.
  Dl_info info = {};
  if (dladdr(address, &info) == 0 || info.dli_fbase == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  *module = static_cast<HMODULE>(info.dli_fbase);
  return TRUE;
}

[[noreturn]] void ExitProcess(UINT exitCode) {
  // Nothing of the C library is left to flush: the program writes through
  // its own streams. _exit is also safe from a fault handler.
  _exit(static_cast<int>(exitCode));
}
