// Writes the PE fuzz seeds: images of both kinds, with and without a
// version resource, and with the resource shapes the reader must handle.
#include <fstream>
#include <iostream>
#include <string>

#include "support/pe_writer.h"

namespace {

void Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  std::ofstream(folder + "/" + name, std::ios::binary) << bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pe_seed_writer <folder>\n";
    return 2;
  }
  const std::string folder = argv[1];
  VersionResource full = SpanishVersionResource({
      {u"CompanyName", u"ZARVEK"}, {u"FileDescription", u"N\u00f3mina"},
      {u"FileVersion", u"12.6.0.3"}, {u"OriginalFilename", u"XNMPAYRO.exe"},
      {u"ProductName", u"ZARVEK"}, {u"ProductVersion", u"12.6"}, {u"Comments", u""}});
  Write(folder, "full32.exe", BuildExecutable(PeKind::Pe32, full));
  Write(folder, "full64.exe", BuildExecutable(PeKind::Pe32Plus, full));
  Write(folder, "none32.exe", BuildExecutable(PeKind::Pe32, std::nullopt));

  VersionResource twoTables = full;
  twoTables.translations = {{0x0409, 0x04B0}, {0x0C0A, 0x04B0}};
  twoTables.stringTables.push_back({u"040904b0", {{u"ProductName", u"Payroll"}}});
  Write(folder, "two_tables32.exe", BuildExecutable(PeKind::Pe32, twoTables));

  VersionResource noTranslation = full;
  noTranslation.withTranslationValue = false;
  Write(folder, "no_translation64.exe", BuildExecutable(PeKind::Pe32Plus, noTranslation));

  // A data entry that claims a single byte: the size query once gave 1 and
  // the lookups read past that buffer.
  VersionResource oneByte = full;
  oneByte.claimedSize = 1;
  Write(folder, "regression_one_byte_resource32.exe", BuildExecutable(PeKind::Pe32, oneByte));
  return 0;
}
