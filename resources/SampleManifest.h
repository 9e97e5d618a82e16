#pragma once
// The manifest of the sample folders: one file a line,
//
//   <relative path>  <kind>  <modified>  <accessed>  <time of day>
//
// where a date is a day offset from the build day ("0", "-30") or a whole
// number of calendar years ("-1y": the same day a year ago, as the date
// pickers' default). Blank lines and lines starting with "#" are skipped.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTime>

#include <optional>

struct DateOffset {
    int amount = 0;
    bool years = false;

    /** The day `amount` days (or calendar years) from `day`. */
    QDate from(QDate day) const { return years ? day.addYears(amount) : day.addDays(amount); }
};

struct SampleEntry {
    QString path; // relative to the Samples folder, "/" separated
    QString kind; // text, csv, log, md, json, xml, html, ini, png, bmp
    DateOffset modified;
    DateOffset accessed;
    QTime time;

    QDateTime modifiedOn(QDate buildDay) const { return QDateTime(modified.from(buildDay), time); }
    QDateTime accessedOn(QDate buildDay) const { return QDateTime(accessed.from(buildDay), time); }
};

/** Parses "-30" or "-1y"; std::nullopt when the text is neither. */
std::optional<DateOffset> parseDateOffset(const QString& text);

/** The entries of the manifest text; sets `error` (line number and reason) and returns {} on a bad line. */
QList<SampleEntry> parseSampleManifest(const QString& text, QString* error);

/** Reads and parses the manifest file; sets `error` on failure. */
QList<SampleEntry> readSampleManifest(const QString& filePath, QString* error);
