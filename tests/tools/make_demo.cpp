// Writes a small Windows executable with a Spanish version resource, for the
// demonstration run of scripts/run.sh:
//   rud_make_demo <file> <file-version>
// The folders above the file are created.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "support/pe_writer.h"

namespace {

std::u16string Widened(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: rud_make_demo <file> <file-version>\n";
    return 2;
  }
  const std::filesystem::path file = argv[1];
  const std::u16string version = Widened(argv[2]);
  const std::u16string name = Widened(file.stem().string());

  const std::string image = BuildExecutable(
      PeKind::Pe32, SpanishVersionResource({
                        {u"CompanyName", u"ZARVEK"},
                        {u"FileDescription", u"N\u00F3mina: c\u00E1lculo de la n\u00F3mina"},
                        {u"FileVersion", version},
                        {u"InternalName", name},
                        {u"OriginalFilename", name + u".exe"},
                        {u"ProductName", u"ZARVEK"},
                        {u"ProductVersion", u"12.6"},
                    }));

  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    std::cerr << "rud_make_demo: cannot write " << file << "\n";
    return 1;
  }
  return 0;
}
