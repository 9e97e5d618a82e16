#pragma once

/**
 * Gives the application its version (the project version), its desktop file
 * name (so that task bars group its windows under the menu entry and show its
 * name and icon) and its window icon.
 */
void setApplicationIdentity();
