#pragma once
// Long work runs off the window thread while the window thread keeps handling
// events, so windows repaint and the user can close them. The handler that
// starts the work still reads top to bottom: it waits here, in a local event
// loop, until the work is done.

#include <functional>

class QObject;

/**
 * Runs `work` on a worker thread and handles window events until it returns.
 * An exception thrown by `work` is thrown again here, on the window thread.
 */
void runKeepingWindowsResponsive(const std::function<void()>& work);

/** Runs `call` on `context`'s thread, later (safe from any thread). */
void postTo(QObject* context, std::function<void()> call);
