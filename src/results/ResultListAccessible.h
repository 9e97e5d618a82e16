#pragma once
// The result list as screen readers see it: a table whose first row is the
// column header and whose cells are the rows' names and dates, the name's
// check box told and toggled as a cell's action.
//
// Qt describes its own tree and table views this way; ResultListView is
// neither, so it describes itself. A cell's interface is made when a screen
// reader asks for it and dropped when the rows change, so a list of millions
// costs nothing until someone reads it.

class QAccessibleInterface;
class QObject;
class QString;

/** The accessibility factory for ResultListView (installed by the view). */
QAccessibleInterface* resultListAccessible(const QString& key, QObject* object);
