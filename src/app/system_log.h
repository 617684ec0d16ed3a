// The run's records in the system's log: the Application event log on
// Windows (source "ZARVEK RUD", the texts in rud.exe's message table), the
// system log through /dev/log on Linux (identifier rud, facility user). One
// record for each installed copy (information), each failure report (error)
// and each server copy not found while the local copy stays (warning). A run
// with nothing to do writes none and opens nothing.
//
// A record never changes the run: it is made after the outcome is settled,
// nothing in it is raised, and a log that is missing, refuses or does not
// read only goes without it, at once. Its inserts (app/events.mc lists them)
// are the same on both platforms, in the same order: each is shown as the
// console shows a version string (ShownText) and cut to a room of its own,
// so that the whole record fits what the log takes in one piece.
#pragma once

#include <cstddef>

#include "app/event_messages.h"
#include "console/exceptions.h"
#include "console/text.h"
#include "fileinfo/time_stamps.h"
#include "fileinfo/version_info.h"

// The server copy was installed; oldVersion is null when there was no local
// copy. The stamps give each copy's last-write time.
void LogInstalled(const Text& serverCopy, const TEXEVersionData& newVersion,
                  const FileDateTimeInfo& newStamp, const TEXEVersionData* oldVersion,
                  const FileDateTimeInfo& oldStamp);

// The server copy was not found; the local copy stays.
void LogServerCopyMissing(const Text& serverCopy);

// The failure report the run driver has shown: "<class>: <message>".
void LogFailure(const Exception& error);

// The report of an error that escaped the run driver, as standard error
// shows it ("Exception ... in module ..."): one that could not be written as
// a failure report, or raised outside it. Nothing when the run has logged a
// failure already (the wait for Enter failed after it), so that a failed run
// has one error record.
void LogEscapedReport(TextView report);

// How long an insert may be, in UTF-16 units: the largest record (a failure
// with a long server path and report) stays within 8 KiB of UTF-8, which is
// what rsyslog takes by default, and far below Windows' 31,839 characters
// per insert.
inline constexpr size_t kCodeRoom = 64;
inline constexpr size_t kPathRoom = 1024;
inline constexpr size_t kVersionRoom = 256;
inline constexpr size_t kReportRoom = 1024;

// The text as the console shows a version string (a control or format
// character is "?"), cut to `room` units: a text that does not fit ends in
// "…" within the room, and a surrogate pair is never cut in two.
Text LogField(TextView text, size_t room);

// A file time as UTC in ISO 8601, "2026-12-08T14:05:09Z".
Text UtcTimeText(const FILETIME& time);
