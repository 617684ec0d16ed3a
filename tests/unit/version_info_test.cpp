// GetEXEVersionData end to end on real files: the version strings with the
// file's last-write time as local date-time text.
#include "fileinfo/version_info.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "console/exceptions.h"
#include "fileinfo/date_time_text.h"
#include "fileinfo/os_error.h"
#include "fileinfo/time_stamps.h"
#include "support/pe_writer.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// Date text in a fixed form for the length of a test.
class FixedSettings {
 public:
  FixedSettings() : saved_(LocaleFormatSettings) {
    LocaleFormatSettings.ShortDateFormat = u"yyyy-mm-dd";
    LocaleFormatSettings.LongTimeFormat = u"hh:nn:ss";
    LocaleFormatSettings.DateSeparator = u'/';
    LocaleFormatSettings.TimeSeparator = u':';
  }
  ~FixedSettings() { LocaleFormatSettings = saved_; }

 private:
  TLocaleFormatSettings saved_;
};

const VersionResource kResource = SpanishVersionResource({
    {u"CompanyName", u"ZARVEK S.A."},
    {u"FileVersion", u"12.6.0.3"},
    {u"OriginalFilename", u"XNMPAYRO.exe"},
    {u"ProductName", u"ZARVEK"},
});

FILETIME FileTimeOf(sys_time<seconds> time) {
  constexpr int64_t kSecondsBefore1970 = 11644473600;
  const uint64_t ticks =
      static_cast<uint64_t>(time.time_since_epoch().count() + kSecondsBefore1970) * 10000000;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The UTC time at which the local clock reads midnight of the day that holds
// `around` (mid-January, far from any change of summer time).
sys_time<seconds> LocalMidnightNear(sys_time<seconds> around) {
  const double local = LocalDateTimeFromFileTime(FileTimeOf(around));
  const auto sinceMidnight = seconds(std::llround((local - std::floor(local)) * 86400));
  return around - sinceMidnight;
}

TEST(GetEXEVersionData, StringsAndTheLastWriteTime) {
  FixedSettings settings;
  TempFolder folder;
  const fs::path path = folder.WriteFile("XNMPAYRO.exe", BuildExecutable(PeKind::Pe32, kResource));
  const auto midnight = LocalMidnightNear(sys_days{2025y / January / 15} + 12h);

  fs::last_write_time(path, file_clock::from_sys(midnight + 1s));
  TEXEVersionData data = GetEXEVersionData(path.u16string());
  EXPECT_EQ(data.CompanyName, u"ZARVEK S.A.");
  EXPECT_EQ(data.FileVersion, u"12.6.0.3");
  EXPECT_EQ(data.OriginalFileName, u"XNMPAYRO.exe");
  EXPECT_EQ(data.Comments, u"");
  ASSERT_EQ(data.DateModified.size(), 19u) << "yyyy-mm-dd hh:nn:ss";
  const Text date = data.DateModified.substr(0, 10);
  EXPECT_TRUE(date == u"2025-01-15" || date == u"2025-01-16");
  EXPECT_EQ(data.DateModified.substr(10), u" 00:00:01");

  // At exactly midnight the date stands alone.
  fs::last_write_time(path, file_clock::from_sys(midnight));
  EXPECT_EQ(GetEXEVersionData(path.u16string()).DateModified, date);
}

TEST(GetEXEVersionData, StringsUnderAnotherKeyLeaveOnlyTheDate) {
  FixedSettings settings;
  TempFolder folder;
  VersionResource resource = kResource;
  resource.translations = {{0x0409, 0x04E4}};
  const fs::path path = folder.WriteFile("other.exe", BuildExecutable(PeKind::Pe32Plus, resource));
  TEXEVersionData data;
  ASSERT_NO_THROW(data = GetEXEVersionData(path.u16string()));
  EXPECT_EQ(data.CompanyName, u"");
  EXPECT_EQ(data.FileVersion, u"");
  EXPECT_EQ(data.ProductName, u"");
  EXPECT_EQ(data.OriginalFileName, u"");
  EXPECT_FALSE(data.DateModified.empty());
}

TEST(GetEXEVersionData, FailuresLeaveTheCallersRecordAlone) {
  TempFolder folder;
  const fs::path bare = folder.WriteFile("bare.exe", BuildExecutable(PeKind::Pe32, std::nullopt));
  for (const fs::path& path : {folder / "missing.exe", bare}) {
    SCOPED_TRACE(path.string());
    TEXEVersionData data;
    data.FileVersion = u"kept";
    SetLastError(0);
    const DWORD code = GetFileVersionInfoSizeW(W(path.u16string()), nullptr) == 0 ? GetLastError() : 0;
    ASSERT_NE(code, 0u);
    try {
      data = GetEXEVersionData(path.u16string());
      ADD_FAILURE() << "nothing raised";
    } catch (const EOSError& error) {
      EXPECT_EQ(error.ErrorCode, code);
      EXPECT_EQ(error.Message, OSErrorMessage(code));
    }
    EXPECT_EQ(data.FileVersion, u"kept");
  }
}

}  // namespace
