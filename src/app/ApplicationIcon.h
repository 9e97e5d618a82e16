#pragma once

#include <QIcon>

/** The program's icon, shown by every window: a calendar page with a clock hand, drawn in code. */
QIcon applicationIcon();
