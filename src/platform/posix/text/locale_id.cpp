#include "platform/posix/text/locale_id.h"

#include <locale.h>

#include <cstdlib>

namespace posix {
namespace {

constexpr LCID kCustomUnspecified = 0x1000;
constexpr LCID kEnglishUnitedStates = 0x0409;
constexpr WORD kSublangDefault = 1;

struct Language {
  std::string_view code;
  WORD primary;
};

// Primary language identifiers (the LANG_ constants of winnt.h).
constexpr Language kLanguages[] = {
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"no", 0x14}, {"nn", 0x14}, {"pl", 0x15}, {"pt", 0x16},
    {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D},
    {"th", 0x1E}, {"tr", 0x1F}, {"ur", 0x20}, {"id", 0x21}, {"uk", 0x22}, {"be", 0x23},
    {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"fa", 0x29}, {"vi", 0x2A},
    {"hy", 0x2B}, {"eu", 0x2D}, {"mk", 0x2F}, {"af", 0x36}, {"ka", 0x37}, {"hi", 0x39},
    {"mt", 0x3A}, {"ga", 0x3C}, {"ms", 0x3E}, {"kk", 0x3F}, {"sw", 0x41}, {"bn", 0x45},
    {"ta", 0x49}, {"gl", 0x56}, {"cy", 0x52},
};

struct Territory {
  std::string_view language;
  std::string_view territory;
  WORD sublanguage;
};

// Sublanguages where a language is spoken in several territories (the
// SUBLANG_ constants of winnt.h); any other pairing takes SUBLANG_DEFAULT.
constexpr Territory kTerritories[] = {
    {"es", "ES", 0x03}, {"es", "MX", 0x02}, {"es", "GT", 0x04}, {"es", "CR", 0x05},
    {"es", "PA", 0x06}, {"es", "DO", 0x07}, {"es", "VE", 0x08}, {"es", "CO", 0x09},
    {"es", "PE", 0x0A}, {"es", "AR", 0x0B}, {"es", "EC", 0x0C}, {"es", "CL", 0x0D},
    {"es", "UY", 0x0E}, {"es", "PY", 0x0F}, {"es", "BO", 0x10}, {"es", "SV", 0x11},
    {"es", "HN", 0x12}, {"es", "NI", 0x13}, {"es", "PR", 0x14}, {"es", "US", 0x15},
    {"en", "US", 0x01}, {"en", "GB", 0x02}, {"en", "AU", 0x03}, {"en", "CA", 0x04},
    {"en", "NZ", 0x05}, {"en", "IE", 0x06}, {"en", "ZA", 0x07}, {"en", "IN", 0x10},
    {"fr", "FR", 0x01}, {"fr", "BE", 0x02}, {"fr", "CA", 0x03}, {"fr", "CH", 0x04},
    {"de", "DE", 0x01}, {"de", "CH", 0x02}, {"de", "AT", 0x03}, {"it", "IT", 0x01},
    {"it", "CH", 0x02}, {"pt", "BR", 0x01}, {"pt", "PT", 0x02}, {"nl", "NL", 0x01},
    {"nl", "BE", 0x02}, {"zh", "TW", 0x01}, {"zh", "CN", 0x02}, {"zh", "HK", 0x03},
    {"zh", "SG", 0x04}, {"zh", "MO", 0x05}, {"sv", "SE", 0x01}, {"sv", "FI", 0x02},
    {"nb", "NO", 0x01}, {"nn", "NO", 0x02}, {"ar", "SA", 0x01}, {"ar", "EG", 0x03},
};

}  // namespace

LCID LocaleIdOfName(std::string_view name) {
  // language[_territory][.codeset][@modifier]
  std::string_view base = name.substr(0, name.find_first_of(".@"));
  if (base.empty() || base == "C" || base == "POSIX") return kEnglishUnitedStates;
  const size_t underscore = base.find('_');
  const std::string_view language = base.substr(0, underscore);
  const std::string_view territory =
      underscore == std::string_view::npos ? std::string_view() : base.substr(underscore + 1);

  WORD primary = 0;
  for (const Language& entry : kLanguages) {
    if (entry.code == language) primary = entry.primary;
  }
  if (primary == 0) return kCustomUnspecified;
  WORD sublanguage = kSublangDefault;
  for (const Territory& entry : kTerritories) {
    if (entry.language == language && entry.territory == territory) sublanguage = entry.sublanguage;
  }
  return static_cast<LCID>(sublanguage) << 10 | primary;
}

std::string UserLocaleName(const char* categoryVariable) {
  for (const char* variable : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

LANGID UserInterfaceLanguage() {
  const std::string name = UserLocaleName("LC_MESSAGES");
  locale_t installed = newlocale(LC_MESSAGES_MASK, name.c_str(), nullptr);
  if (installed == nullptr) return static_cast<LANGID>(kEnglishUnitedStates);
  freelocale(installed);
  return static_cast<LANGID>(LocaleIdOfName(name) & 0xFFFF);
}

}  // namespace posix
