// The two libraries the core looks entry points up in. Nothing is loaded: the
// module handles stand for this layer's own implementations.
#include <string>

#include "platform/posix/process/library_entries.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

struct Library {
  const char16_t* name;  // upper case, without ".DLL"
  bool loaded;           // NTDLL is in every process; PSAPI once asked for
};

// Their addresses are the module handles: distinct, and far above the small
// numbers old loaders failed with.
Library psapi{u"PSAPI", false};
Library ntdll{u"NTDLL", true};

// A module name as the loader compares it: case-insensitive, ".dll" optional.
std::u16string ModuleKey(LPCWSTR name) {
  std::u16string key = name;
  for (char16_t& unit : key) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  if (key.size() > 4 && key.compare(key.size() - 4, 4, u".DLL") == 0) key.resize(key.size() - 4);
  return key;
}

Library* LibraryNamed(LPCWSTR name) {
  if (name == nullptr) return nullptr;
  std::u16string key = ModuleKey(name);
  if (key == psapi.name) return &psapi;
  if (key == ntdll.name) return &ntdll;
  return nullptr;
}

HMODULE ModuleOf(Library* library) { return reinterpret_cast<HMODULE>(library); }

// A function's address as FARPROC; the detour through a plain function
// pointer keeps the compiler from objecting to the cast.
template <class Function>
FARPROC AsFarProc(Function function) {
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

}  // namespace
}  // namespace posix

HMODULE LoadLibraryW(LPCWSTR fileName) {
  posix::Library* library = posix::LibraryNamed(fileName);
  if (library == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  library->loaded = true;
  return posix::ModuleOf(library);
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  posix::Library* library = posix::LibraryNamed(moduleName);
  if (library == nullptr || !library->loaded) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return posix::ModuleOf(library);
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  std::string name = procName != nullptr ? procName : "";
  if (module == posix::ModuleOf(&posix::psapi) && name == "GetMappedFileNameW") {
    return posix::AsFarProc(&posix::MappedFileNameEntry);
  }
  if (module == posix::ModuleOf(&posix::ntdll) && name == "NtQueryObject") {
    return posix::AsFarProc(&posix::QueryObjectEntry);
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}
