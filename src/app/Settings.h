#pragma once
// The program's keys in the settings store and the rules for reading them.

#include "platform/SettingsStore.h"

#include <QString>

namespace settings {

inline constexpr char kOption1[] = "Option1";
inline constexpr char kOption2[] = "Option2";
inline constexpr char kOption3[] = "Option3";
inline constexpr char kLastFolderDot[] = "LastFolderDot";
inline constexpr char kRangeOption1[] = "2Option1";
inline constexpr char kRangeOption2[] = "2Option2";
inline constexpr char kRangeOption3[] = "2Option3";
inline constexpr char kRangeOption4[] = "2Option4";
inline constexpr char kPicker1[] = "DTP1";
inline constexpr char kPicker2[] = "DTP2";
inline constexpr char kPicker3[] = "DTP3";
inline constexpr char kPicker4[] = "DTP4";
inline constexpr char kPicker5[] = "DTP5";

/**
 * Converts stored text to a truth value: "True" and "False" in any letter case,
 * or a number (any number but 0 is true). Throws a Failure ("Type mismatch") otherwise.
 */
bool toBoolean(const QString& text);

/** "True" or "False". */
QString booleanText(bool value);

/** Reads `key` as a truth value; `defaultNumber` is the default when the key is absent. Throws on bad text. */
bool readBoolean(const platform::SettingsStore& store, const QString& key, int defaultNumber);

/** Writes `value` under `key` as "True" or "False". */
void writeBoolean(platform::SettingsStore& store, const QString& key, bool value);

} // namespace settings
