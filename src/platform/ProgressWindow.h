#pragma once
// Progress windows with a Cancel button, for work that runs off the window
// thread. The windows open them through ProgressWindows, so tests can record
// what was shown and press Cancel without a real window. QtProgressWindows
// (in the widget library) uses QProgressDialog.

#include <QString>
#include <QtGlobal>

#include <functional>
#include <memory>

class QWidget;

namespace platform {

/** One open progress window; it closes when destroyed. Use it on the window thread only. */
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;

    /** Shows that `done` of the work's items are done. */
    virtual void setValue(qsizetype done) = 0;
};

class ProgressWindows {
public:
    virtual ~ProgressWindows() = default;

    /**
     * Opens a progress window over `owner` for work of `total` items, saying
     * `text`. It stays hidden unless the work runs longer than a moment, so
     * quick work shows nothing. `cancelled` runs on the window thread when
     * the user presses Cancel.
     */
    virtual std::unique_ptr<ProgressWindow> open(QWidget* owner, const QString& text, qsizetype total,
                                                 std::function<void()> cancelled) = 0;
};

/** The production progress windows: a window-modal QProgressDialog shown after kDelayMs. */
class QtProgressWindows final : public ProgressWindows {
public:
    /** How long work runs before its progress window appears. */
    static constexpr int kDelayMs = 300;

    /**
     * `title` yields the application title at the moment a window opens; a
     * window appears once its work has run `delayMs` (tests choose their own).
     */
    explicit QtProgressWindows(std::function<QString()> title, int delayMs = kDelayMs);

    std::unique_ptr<ProgressWindow> open(QWidget* owner, const QString& text, qsizetype total,
                                         std::function<void()> cancelled) override;

private:
    std::function<QString()> m_title;
    int m_delayMs;
};

} // namespace platform
