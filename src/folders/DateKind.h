#pragma once

#include <QCoreApplication>
#include <QString>

/** Which file time counts: the first window's Option1, Option2 or Option3. */
enum class DateKind { Modified, Created, Accessed };

/** The result list's second column header for the date kind: "Date Modified", "Date Created", "Date Accessed". */
inline QString dateKindHeader(DateKind kind)
{
    switch (kind) {
    case DateKind::Created:
        return QCoreApplication::translate("DateKind", "Date Created");
    case DateKind::Accessed:
        return QCoreApplication::translate("DateKind", "Date Accessed");
    case DateKind::Modified:
        break;
    }
    return QCoreApplication::translate("DateKind", "Date Modified");
}
