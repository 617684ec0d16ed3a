// The POSIX version reader against the Windows build under Wine, over every
// PE file Wine itself installs (both architectures) and a few made by the
// tests' writer: the twelve strings must agree file by file.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "support/pe_writer.h"
#include "support/temp_folder.h"
#include "version_listing.h"
#include "wine_tool.h"

namespace {

namespace fs = std::filesystem;

// Wine's own PE files: folders named i386-windows and x86_64-windows under
// the usual library roots.
std::vector<fs::path> WinePeFiles() {
  std::vector<fs::path> files;
  for (const char* root : {"/usr/lib/wine", "/usr/lib/i386-linux-gnu/wine",
                           "/usr/lib/x86_64-linux-gnu/wine", "/usr/lib64/wine", "/usr/lib32/wine",
                           "/usr/local/lib/wine"}) {
    for (const char* arch : {"i386-windows", "x86_64-windows"}) {
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(fs::path(root) / arch, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
    }
  }
  std::sort(files.begin(), files.end());
  files.erase(std::unique(files.begin(), files.end()), files.end());
  return files;
}

// The host path as both sides name it: drive Z: is the host's root.
std::string WindowsPath(const fs::path& path) {
  std::string windows = "Z:" + path.string();
  std::replace(windows.begin(), windows.end(), '/', '\\');
  return windows;
}

// Windows reports an image without version resource or a file that is no
// image with other codes than ours (1812 for both under Wine; 1813 and 193
// here); which resource is missing is not what is compared.
std::string Normalised(const std::string& line) {
  for (const char* code : {"  EOSError 1812", "  EOSError 1813", "  EOSError 193"}) {
    if (line == code) return "  EOSError (no version resource)";
  }
  return line;
}

// Sets the environment the native side reads its languages from, as the
// Wine side gets it.
class Language {
 public:
  explicit Language(const char* lang) {
    for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "LC_TIME"}) {
      const char* value = std::getenv(name);
      if (value != nullptr) saved_[name] = value;
      unsetenv(name);
    }
    setenv("LANG", lang, 1);
  }
  ~Language() {
    for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "LC_TIME"}) {
      auto found = saved_.find(name);
      if (found != saved_.end()) setenv(name, found->second.c_str(), 1);
      else unsetenv(name);
    }
  }

 private:
  std::map<std::string, std::string> saved_;
};

bool Installed(const char* name) {
  locale_t probe = newlocale(LC_ALL_MASK, name, nullptr);
  if (probe == nullptr) return false;
  freelocale(probe);
  return true;
}

VersionResource Tagged(const char16_t* product) {
  return SpanishVersionResource({{u"CompanyName", u"ZARVEK"},
                                 {u"OriginalFilename", u"XNMPAYRO.exe"},
                                 {u"ProductName", product},
                                 {u"Comments", u""}});
}

TEST(VersionCrossCheck, PosixReaderAgreesWithWindowsOnWinesOwnFiles) {
  std::string reason;
  const std::optional<fs::path> dump = wine_tool::Find("version_dump", reason);
  if (!dump) GTEST_SKIP() << reason;
  const std::vector<fs::path> wineFiles = WinePeFiles();
  if (wineFiles.empty()) GTEST_SKIP() << "no Wine PE files found under the usual library roots";

  TempFolder folder;
  std::vector<fs::path> files = wineFiles;
  files.push_back(folder.WriteFile("full32.exe", BuildExecutable(PeKind::Pe32, Tagged(u"A"))));
  files.push_back(folder.WriteFile("full64.exe", BuildExecutable(PeKind::Pe32Plus, Tagged(u"B"))));
  files.push_back(folder.WriteFile(
      "languages.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x0401, Tagged(u"ar")},
                                                                  {0x0409, Tagged(u"en")},
                                                                  {0x0C0A, Tagged(u"es")}})));
  files.push_back(folder.WriteFile(
      "neutral_es.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x0401, Tagged(u"ar")},
                                                                   {0x000A, Tagged(u"es")},
                                                                   {0x0409, Tagged(u"en")}})));
  // Languages listed out of ascending order: Windows looks each preferred
  // language up by binary search, which may miss one that is listed.
  files.push_back(folder.WriteFile(
      "unsorted_de_es_en.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x0407, Tagged(u"de")},
                                                                          {0x0C0A, Tagged(u"es")},
                                                                          {0x0409, Tagged(u"en")}})));
  files.push_back(folder.WriteFile(
      "unsorted_fr_it_de_en_es.exe",
      BuildMultilingualExecutable(PeKind::Pe32Plus,
                                  {{0x040C, Tagged(u"fr")}, {0x0410, Tagged(u"it")},
                                   {0x0407, Tagged(u"de")}, {0x0409, Tagged(u"en")},
                                   {0x0C0A, Tagged(u"es")}})));
  files.push_back(folder.WriteFile(
      "unsorted_es_en_de_fr_it.exe",
      BuildMultilingualExecutable(PeKind::Pe32,
                                  {{0x0C0A, Tagged(u"es")}, {0x0409, Tagged(u"en")},
                                   {0x0407, Tagged(u"de")}, {0x040C, Tagged(u"fr")},
                                   {0x0410, Tagged(u"it")}})));
  files.push_back(folder.WriteFile(
      "neutral_before_es.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x0000, Tagged(u"neutral")},
                                                                          {0x0C0A, Tagged(u"es")}})));
  files.push_back(folder.WriteFile(
      "es_then_mx.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x000A, Tagged(u"es")},
                                                                   {0x080A, Tagged(u"mx")}})));
  files.push_back(folder.WriteFile(
      "de_gb.exe", BuildMultilingualExecutable(PeKind::Pe32, {{0x0407, Tagged(u"de")},
                                                              {0x0809, Tagged(u"gb")}})));
  // Damaged files: no version data to read, whatever code each side gives.
  const std::string whole = BuildExecutable(PeKind::Pe32, Tagged(u"C"));
  files.push_back(folder.WriteFile("empty.exe", ""));
  files.push_back(folder.WriteFile("half.exe", whole.substr(0, whole.size() / 2)));
  VersionResource oneByte = Tagged(u"D");
  oneByte.claimedSize = 1;
  files.push_back(folder.WriteFile("one_byte.exe", BuildExecutable(PeKind::Pe32, oneByte)));
  files.push_back(folder.WriteFile("bare.exe", BuildExecutable(PeKind::Pe32, std::nullopt)));
  files.push_back(folder.WriteFile("notes.txt", "not an executable\n"));
  files.push_back(folder / "missing.exe");
  std::string input;
  for (const fs::path& file : files) input += WindowsPath(file) + "\n";

  int languages = 0;
  for (const char* lang : {"C.UTF-8", "es_ES.UTF-8", "es_MX.UTF-8"}) {
    if (!Installed(lang)) continue;
    ++languages;
    SCOPED_TRACE(lang);
    Language language(lang);
    const std::vector<std::string> windows = wine_tool::Lines(wine_tool::Run(*dump, lang, input));
    std::string posixText;
    for (const fs::path& file : files) posixText += VersionListing(WindowsPath(file));
    const std::vector<std::string> posix = wine_tool::Lines(posixText);

    ASSERT_EQ(windows.size(), posix.size()) << (windows.empty() ? "" : windows.front());
    std::string file;
    int differences = 0;
    for (size_t i = 0; i < posix.size() && differences < 20; ++i) {
      if (posix[i].rfind("  ", 0) != 0) file = posix[i];
      if (Normalised(windows[i]) != Normalised(posix[i])) {
        ++differences;
        ADD_FAILURE() << file << "\n  Windows: " << windows[i] << "\n  POSIX:   " << posix[i];
      }
    }
    // Both architectures' files were really read, not only failed alike.
    int read32 = 0;
    int read64 = 0;
    for (size_t i = 0; i + 1 < posix.size(); ++i) {
      if (posix[i + 1].rfind("  CompanyName=", 0) != 0) continue;
      if (posix[i].find("i386-windows") != std::string::npos) ++read32;
      if (posix[i].find("x86_64-windows") != std::string::npos) ++read64;
    }
    EXPECT_GT(read32, 0);
    EXPECT_GT(read64, 0);
    RecordProperty(std::string("files_read_") + lang, read32 + read64);
  }
  if (languages == 0) GTEST_SKIP() << "none of C.UTF-8, es_ES.UTF-8, es_MX.UTF-8 is installed";
}

}  // namespace
