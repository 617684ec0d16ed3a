#include "fileinfo/version_info.h"

#include "fileinfo/date_time_text.h"
#include "fileinfo/time_stamps.h"

TEXEVersionData GetEXEVersionData(const Text& FileName) {
  // The strings first: a file without a readable version resource raises
  // before its time stamps are looked at, and the work buffer is gone by then.
  TEXEVersionData record = ReadVersionStrings(FileName);
  FileDateTimeInfo info = {};
  if (GetFileDateTimeInfo(FileName, true, info)) {
    record.DateModified = DateTimeText(LastWriteLocalTime(info));
  }
  return record;
}
