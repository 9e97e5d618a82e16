#pragma once
// The typeface of both windows' layouts: Arial bold, 9 pt for the windows and
// 11.25 pt on the large buttons. On Debian fontconfig gives Liberation Sans,
// which has Arial's metrics, so the captions fit as designed.

#include <QFont>
#include <QString>

/** Arial bold at `points`. */
inline QFont arialBold(qreal points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    font.setBold(true);
    return font;
}
