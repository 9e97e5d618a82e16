#pragma once

#include <QIcon>

/**
 * The program's icon, shown by every window: the sizes drawn at build time
 * from data/example.brindlewick.Chronopurge.svg, the same images the menu
 * entry shows. Null only if the build left them out.
 */
QIcon applicationIcon();
