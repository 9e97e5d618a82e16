#pragma once
// A file's modified, created or accessed date, as the scan records it.
//
// modified = mtime, accessed = atime, created = the birth time where the file
// system keeps one (statx), else the earlier of mtime and ctime. Times become
// local seconds by the time-zone rules in force at the file's own date, and
// the date text is the general date form of DateText.h.

#include "folders/DateKind.h"
#include "scan/DateText.h"

#include <QString>

#include <array>

struct statx;

/** The file's last-modified date as general date text; empty when the file is gone. */
QString FileModifiedDate(const QString& path);
/** The file's created date as general date text; empty when the file is gone. */
QString FileCreatedDate(const QString& path);
/** The file's last-accessed date as general date text; empty when the file is gone. */
QString FileAccessedDate(const QString& path);

/** The file's date of `kind` as local seconds (the link's own times for a link); kNoDate when it is gone. */
qint64 fileDate(const QString& path, DateKind kind);

/** The statx fields a date of `kind` needs, with the file type. */
unsigned statxMaskFor(DateKind kind);

/**
 * Converts a 100-nanosecond count since 1601-01-01 00:00 UTC to a local day
 * number (days since 1899-12-30, the time of day as the fraction).
 */
double FileTimeToDayNumber(qint64 fileTime);

/**
 * Converts UTC seconds to local seconds like localSecondsFromUtc, remembering
 * the offset of each UTC day it has seen. Offsets change at most once in a
 * day, so a day whose two ends have the same offset has it throughout; a day
 * with a change inside is converted exactly every time. For
 * one thread and one time zone (a scan): create one per worker.
 *
 * Days are looked up in spans of 16 first: the offset of a span whose every
 * day has one and the same offset is kept in a table small enough to stay in
 * the processor's cache while the kernel reads a big tree (a table of days,
 * 128 KB, did not, and waiting for it was 2% of a scan). Only the spans
 * with a change inside reach the table of days.
 */
class LocalTimeCache {
public:
    LocalTimeCache();
    qint64 localSeconds(qint64 utcSeconds);

private:
    static constexpr size_t kSlots = 8192;
    static constexpr int kSpanSetBits = 9;
    static constexpr size_t kSpanSlots = size_t(2) << kSpanSetBits;
    struct Slot {
        qint64 bucket;
        qint64 offset;
    };
    qint64 spanOffset(qint64 span) const;
    std::array<Slot, kSpanSlots> m_spans;
    std::array<Slot, kSlots> m_slots;
};

/**
 * The date of `kind` from a statx record, as local seconds. The time is cut
 * to its whole second toward the past: statx counts whole seconds toward the
 * past with the nanoseconds after them, so the nanoseconds are dropped.
 */
qint64 statxDate(const struct statx& status, DateKind kind, LocalTimeCache& cache);
