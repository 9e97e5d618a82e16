#pragma once
// Long work runs off the window thread while the window thread keeps handling
// events, so windows repaint and the user can close them. The handler that
// starts the work still reads top to bottom: it waits here, in a local event
// loop, until the work is done.

#include <functional>
#include <memory>

class QObject;

/**
 * Runs `work` on a worker thread and handles window events until it returns.
 * An exception thrown by `work` is thrown again here, on the window thread.
 */
void runKeepingWindowsResponsive(const std::function<void()>& work);

/** Runs `call` on `context`'s thread, later (safe from any thread). */
void postTo(QObject* context, std::function<void()> call);

/**
 * While it lives, the user's presses, keys, wheel turns and shortcuts reach
 * no window of the program: work running off the window thread must not
 * meet a command that changes what it reads. Windows still repaint and
 * follow the pointer, and closing one still ends the program.
 */
class UserInputPause {
public:
    UserInputPause();
    ~UserInputPause();
    UserInputPause(const UserInputPause&) = delete;
    UserInputPause& operator=(const UserInputPause&) = delete;

private:
    std::unique_ptr<QObject> m_filter;
};
