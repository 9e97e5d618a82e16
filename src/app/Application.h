#pragma once

#include <QString>

/** The product name, the caption of both windows. */
inline constexpr char kProductName[] = "Chronopurge Software";
/** The longest application title SetAppTitle leaves. */
inline constexpr int kMaxAppTitleLength = 40;

/** The application title that SetAppTitle makes of `productName`: cut at the last space, at least once. */
QString appTitleFor(const QString& productName);

/** Sets the application title from the product name ("Chronopurge"). */
void SetAppTitle();

/** The application title: the title of every message box that names none of its own. */
QString appTitle();
