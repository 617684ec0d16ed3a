#include "platform/posix/text/code_pages.h"

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include <array>
#include <bit>
#include <cerrno>
#include <string>

#include "platform/posix/text/utf.h"
#include "platform/posix/win_error.h"

namespace posix {
namespace {

struct CodePageName {
  UINT codePage;
  const char* iconvName;
  // The names the C library's locales give the code page where they differ
  // from iconv's (its charmaps name the DOS code pages IBM850 and so on).
  std::array<const char*, 2> otherCodesets;
};

constexpr UINT kAscii = 20127;

// Both directions: Windows's number for a locale's codeset, and iconv's name
// for a code page.
constexpr CodePageName kCodePages[] = {
    {CP_UTF8, "UTF-8", {"UTF8"}},
    {kAscii, "ANSI_X3.4-1968", {"ASCII"}},
    {437, "CP437", {"IBM437"}},
    {850, "CP850", {"IBM850"}},
    {852, "CP852", {"IBM852"}},
    {855, "CP855", {"IBM855"}},
    {857, "CP857", {"IBM857"}},
    {858, "CP858", {"IBM858"}},
    {860, "CP860", {"IBM860"}},
    {861, "CP861", {"IBM861"}},
    {862, "CP862", {"IBM862"}},
    {863, "CP863", {"IBM863"}},
    {865, "CP865", {"IBM865"}},
    {866, "CP866", {"IBM866"}},
    {874, "CP874", {"TIS-620", "IBM874"}},
    {932, "CP932", {"SHIFT_JIS", "WINDOWS-31J"}},
    {936, "GBK", {"GB2312"}},
    {949, "CP949", {}},
    {950, "BIG5", {"BIG5-HKSCS"}},
    {1250, "CP1250", {}},
    {1251, "CP1251", {}},
    {1252, "CP1252", {}},
    {1253, "CP1253", {}},
    {1254, "CP1254", {}},
    {1255, "CP1255", {}},
    {1256, "CP1256", {}},
    {1257, "CP1257", {}},
    {1258, "CP1258", {}},
    {20866, "KOI8-R", {}},
    {20932, "EUC-JP", {}},
    {21866, "KOI8-U", {}},
    {28591, "ISO-8859-1", {}},
    {28592, "ISO-8859-2", {}},
    {28593, "ISO-8859-3", {}},
    {28594, "ISO-8859-4", {}},
    {28595, "ISO-8859-5", {}},
    {28596, "ISO-8859-6", {}},
    {28597, "ISO-8859-7", {}},
    {28598, "ISO-8859-8", {}},
    {28599, "ISO-8859-9", {}},
    {28603, "ISO-8859-13", {}},
    {28605, "ISO-8859-15", {}},
    {51949, "EUC-KR", {}},
    {54936, "GB18030", {}},
};

bool SameName(std::string_view a, const char* b) {
  if (b == nullptr) return false;
  std::string_view other(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(other[i])) return false;
  }
  return true;
}

// The locale whose transliteration tables give the best-fit characters: the
// same for every user, as Windows's best fit depends on the code page only.
locale_t TransliterationLocale() {
  static locale_t locale = [] {
    locale_t found = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (found == static_cast<locale_t>(0)) found = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    return found;
  }();
  return locale;
}

// UTF-16 to a code page through iconv. A character the code page lacks comes
// out as its transliteration where there is one, else as "?".
bool ConvertWithIconv(const char* codeset, std::u16string_view text, std::string& bytes) {
  std::string target = std::string(codeset) + "//TRANSLIT";
  const char* source = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
  iconv_t converter = iconv_open(target.c_str(), source);
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  locale_t previous = static_cast<locale_t>(0);
  if (TransliterationLocale() != static_cast<locale_t>(0)) previous = uselocale(TransliterationLocale());

  bytes.assign(text.size() * 2 + 16, '\0');
  char* in = reinterpret_cast<char*>(const_cast<char16_t*>(text.data()));
  size_t inLeft = text.size() * sizeof(char16_t);
  size_t outUsed = 0;
  for (;;) {
    char* out = bytes.data() + outUsed;
    size_t outLeft = bytes.size() - outUsed;
    // Once the input is used up, a last call writes out any shift state.
    bool flushing = inLeft == 0;
    size_t result = flushing ? iconv(converter, nullptr, nullptr, &out, &outLeft)
                             : iconv(converter, &in, &inLeft, &out, &outLeft);
    int failure = errno;
    outUsed = bytes.size() - outLeft;
    if (result != static_cast<size_t>(-1)) {
      if (flushing) break;
      continue;
    }
    if (failure == E2BIG) {
      bytes.resize(bytes.size() * 2);
      continue;
    }
    if (flushing) break;
    // An unpaired surrogate or a character without any rendering: "?" and on
    // with the next code unit.
    if (outUsed == bytes.size()) bytes.resize(bytes.size() * 2);
    bytes[outUsed++] = '?';
    in += sizeof(char16_t);
    inLeft -= sizeof(char16_t);
  }
  bytes.resize(outUsed);

  if (previous != static_cast<locale_t>(0)) uselocale(previous);
  iconv_close(converter);
  return true;
}

// A code page's bytes to UTF-16 through iconv; a sequence it can't decode
// becomes U+FFFD and decoding goes on after its first byte.
bool DecodeWithIconv(const char* codeset, std::string_view bytes, std::u16string& text) {
  const char* target = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
  iconv_t converter = iconv_open(target, codeset);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  text.assign(bytes.size() + 4, u'\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  size_t unitsUsed = 0;
  while (inLeft > 0) {
    char* out = reinterpret_cast<char*>(text.data() + unitsUsed);
    size_t outLeft = (text.size() - unitsUsed) * sizeof(char16_t);
    size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    int failure = errno;
    unitsUsed = text.size() - outLeft / sizeof(char16_t);
    if (result != static_cast<size_t>(-1)) break;
    if (failure == E2BIG) {
      text.resize(text.size() * 2);
      continue;
    }
    // An invalid or cut-off sequence.
    if (unitsUsed == text.size()) text.resize(text.size() * 2);
    text[unitsUsed++] = u'\uFFFD';
    ++in;
    --inLeft;
  }
  text.resize(unitsUsed);
  iconv_close(converter);
  return true;
}

}  // namespace

UINT CodePageOfCodeset(std::string_view codeset) {
  for (const CodePageName& entry : kCodePages) {
    if (SameName(codeset, entry.iconvName)) return entry.codePage;
    for (const char* other : entry.otherCodesets) {
      if (SameName(codeset, other)) return entry.codePage;
    }
  }
  return 0;
}

const char* CodesetOfCodePage(UINT codePage) {
  for (const CodePageName& entry : kCodePages) {
    if (entry.codePage == codePage) return entry.iconvName;
  }
  return nullptr;
}

UINT UserCodePage() {
  static const UINT codePage = [] {
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    if (user == static_cast<locale_t>(0)) return kAscii;
    UINT found = CodePageOfCodeset(nl_langinfo_l(CODESET, user));
    freelocale(user);
    return found != 0 ? found : kAscii;
  }();
  return codePage;
}

std::u16string TextOfUserCodePage(std::string_view bytes) {
  const UINT codePage = UserCodePage();
  if (codePage == CP_UTF8 || codePage == kAscii) return Utf16FromUtf8(bytes);
  std::u16string text;
  const char* codeset = CodesetOfCodePage(codePage);
  if (codeset != nullptr && DecodeWithIconv(codeset, bytes, text)) return text;
  return Utf16FromUtf8(bytes);  // no converter for the code page: see code_pages.h
}

}  // namespace posix

UINT GetACP() { return posix::UserCodePage(); }
UINT GetOEMCP() { return posix::UserCodePage(); }
UINT GetConsoleOutputCP() { return posix::UserCodePage(); }
UINT GetConsoleCP() { return posix::UserCodePage(); }

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCCH defaultChar,
                        LPBOOL usedDefaultChar) {
  if (wideText == nullptr || wideLength == 0 || multiByteSize < 0 ||
      (multiByteText == nullptr && multiByteSize != 0) ||
      // The program never asks for its own default character or whether one
      // was used; this layer does not offer them.
      defaultChar != nullptr || usedDefaultChar != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  if (codePage == CP_ACP) codePage = GetACP();
  if (codePage == CP_OEMCP) codePage = GetOEMCP();

  // A length of -1 converts up to and including the terminating null.
  std::u16string_view text = wideLength < 0 ? std::u16string_view(wideText)
                                            : std::u16string_view(wideText, static_cast<size_t>(wideLength));
  if (wideLength < 0) text = std::u16string_view(text.data(), text.size() + 1);

  std::string bytes;
  if (codePage == CP_UTF8) {
    // Unpaired surrogates become U+FFFD, as on Windows.
    bytes = posix::Utf8FromUtf16(text);
  } else {
    const char* codeset = posix::CodesetOfCodePage(codePage);
    if (codeset == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (!posix::ConvertWithIconv(codeset, text, bytes)) return 0;
  }

  if (multiByteSize == 0) return static_cast<int>(bytes.size());
  if (bytes.size() > static_cast<size_t>(multiByteSize)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  bytes.copy(multiByteText, bytes.size());
  return static_cast<int>(bytes.size());
}
