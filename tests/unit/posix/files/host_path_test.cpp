#include "platform/posix/files/host_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "unit/posix/scoped_environment.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Drive Q is the temporary folder; C (/opt) and Z (/) keep their defaults.
class HostPathTest : public testing::Test {
 protected:
  HostPathTest() {
    env_.Set("RUD_DRIVE_Q", root_);
    env_.Unset("RUD_DRIVE_C");
    env_.Unset("RUD_DRIVE_Z");
    env_.Unset("RUD_DRIVE_Y");
    env_.Unset("RUD_UNC_ROOT");
  }

  // The host path, or "error N" for a refused one.
  static std::string Mapped(const std::u16string& path) {
    std::string host;
    SetLastError(0);
    if (!posix::HostPathOf(path.c_str(), host)) return "error " + std::to_string(GetLastError());
    return host;
  }

  TempFolder temp_;
  std::string root_ = temp_.Path().string();
  ScopedEnvironment env_;
};

struct Case {
  const char16_t* path;
  std::string host;
};

void ExpectMappings(std::initializer_list<Case> cases,
                    std::string (*mapped)(const std::u16string&)) {
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
    EXPECT_EQ(mapped(c.path), c.host);
  }
}

}  // namespace

TEST_F(HostPathTest, Drives) {
  ExpectMappings({{u"Q:\\a\\b", root_ + "/a/b"},
                  {u"q:\\a\\b", root_ + "/a/b"},  // either case of the letter
                  {u"Q:/a/b", root_ + "/a/b"},    // either separator
                  {u"Q:\\a/b", root_ + "/a/b"},
                  {u"Q:\\\\a\\\\b", root_ + "/a/b"},
                  {u"Q:", root_},
                  {u"Q:\\", root_ + "/"},
                  {u"Q:a", root_ + "/a"},  // no current folder per drive: its root
                  {u"C:\\ZARVEK\\Ggen", "/opt/ZARVEK/Ggen"},  // the install root under /opt
                  {u"Z:\\usr", "/usr"},
                  {u"C:\\", "/opt/"},
                  {u"Z:\\", "/"},
                  {u"Y:\\x", "error 3"},  // no such drive
                  {u"1:\\x", "error 123"}},
                 Mapped);
}

TEST_F(HostPathTest, DriveRootsFromTheEnvironment) {
  env_.Set("RUD_DRIVE_C", root_ + "/");
  env_.Set("RUD_DRIVE_Z", "");  // set but empty: the drive is gone
  ExpectMappings({{u"C:\\x", root_ + "/x"}, {u"Z:\\x", "error 3"}}, Mapped);
}

TEST_F(HostPathTest, NetworkPaths) {
  ExpectMappings({{u"\\\\srv\\upd\\x", "error 53"}}, Mapped);
  fs::create_directories(temp_ / "Srv" / "upd");
  env_.Set("RUD_UNC_ROOT", root_);
  ExpectMappings({{u"\\\\Srv\\upd\\Garh\\x.exe", root_ + "/Srv/upd/Garh/x.exe"},
                  {u"\\\\SRV\\UPD\\x", root_ + "/Srv/upd/x"},
                  {u"//srv/upd/x", root_ + "/Srv/upd/x"},
                  {u"\\\\srv\\upd", root_ + "/Srv/upd"},
                  {u"\\\\srv\\upd\\..\\..\\x", root_ + "/Srv/upd/x"},  // the share is the top
                  {u"\\\\srv\\nosuch\\x", "error 53"},
                  {u"\\\\nosuch\\upd\\x", "error 53"},
                  {u"\\\\srv", "error 53"},
                  {u"\\\\srv\\..\\x", "error 53"},
                  {u"\\\\s?v\\upd", "error 123"}},
                 Mapped);
}

TEST_F(HostPathTest, OtherPathsAreHostPaths) {
  ExpectMappings({{u"/usr/bin", "/usr/bin"},
                  {u"\\usr\\bin", "/usr/bin"},
                  {u"rel/a", "rel/a"},
                  {u"rel\\a\\", "rel/a/"},
                  {u"..\\x", "../x"},
                  {u"a\\..\\..\\x", "../x"},
                  {u".", "."},
                  {u"", "error 3"}},
                 Mapped);
}

TEST_F(HostPathTest, DotComponentsGoAwayWithoutClimbingAboveTheRoot) {
  ExpectMappings({{u"Q:\\a\\.\\b\\..\\c", root_ + "/a/c"},
                  {u"Q:\\..\\..\\x", root_ + "/x"},
                  {u"Q:\\missing\\..\\x", root_ + "/x"},
                  {u"C:\\..\\usr", "/opt/usr"}},
                 Mapped);
}

TEST_F(HostPathTest, ForbiddenCharactersMakeAnInvalidName) {
  for (char16_t c : std::u16string(u"<>:\"|?*\x01\x1f")) {
    SCOPED_TRACE(static_cast<int>(c));
    EXPECT_EQ(Mapped(u"Q:\\a" + std::u16string(1, c) + u"b\\c"), "error 123");
    EXPECT_EQ(Mapped(u"rel\\a" + std::u16string(1, c)), "error 123");
  }
  EXPECT_EQ(Mapped(u"Q:\\a b\\~c$"), root_ + "/a b/~c$");
}

TEST_F(HostPathTest, NamesMatchWithoutRegardToCase) {
  fs::create_directories(temp_ / "Data" / "Sub");
  fs::create_directories(temp_ / "both" / "abc");
  fs::create_directories(temp_ / "both" / "ABC");
  fs::create_directories(temp_ /
                         "\xc3\x91"
                         "and\xc3\xba");  // Ñandú
  ExpectMappings({{u"Q:\\data\\SUB\\file.txt", root_ + "/Data/Sub/file.txt"},
                  {u"Q:\\Data\\Sub", root_ + "/Data/Sub"},
                  // The exact name first; otherwise the first in byte order.
                  {u"Q:\\both\\abc", root_ + "/both/abc"},
                  {u"Q:\\both\\ABC", root_ + "/both/ABC"},
                  {u"Q:\\both\\Abc", root_ + "/both/ABC"},
                  {u"Q:\\\u00f1AND\u00da", root_ + "/\xc3\x91"
                                                   "and\xc3\xba"},
                  // Below a missing name the rest stays as given.
                  {u"Q:\\nosuch\\data", root_ + "/nosuch/data"}},
                 Mapped);
}
