#pragma once

#include "platform/ProgressWindow.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

/**
 * Progress windows for tests: each one opened is recorded with its text, its
 * total and the values it was given. With `pressCancel` set, the user presses
 * Cancel the moment a window opens, before any item is done.
 */
class RecordingProgressWindows final : public platform::ProgressWindows {
public:
    struct Opened {
        QString text;
        qsizetype total = 0;
        std::vector<qsizetype> values;
        bool closed = false;
    };

    bool pressCancel = false;
    /** Every window opened, in order; shared with the windows so they can record after the test reads. */
    std::shared_ptr<QList<Opened>> opened = std::make_shared<QList<Opened>>();

    std::unique_ptr<platform::ProgressWindow> open(QWidget*, const QString& text, qsizetype total,
                                                   std::function<void()> cancelled) override
    {
        opened->append({text, total, {}, false});
        auto window = std::make_unique<Window>(opened, opened->size() - 1);
        if (pressCancel)
            cancelled();
        return window;
    }

private:
    class Window final : public platform::ProgressWindow {
    public:
        Window(std::shared_ptr<QList<Opened>> opened, qsizetype index)
            : m_opened(std::move(opened))
            , m_index(index)
        {
        }
        ~Window() override { (*m_opened)[m_index].closed = true; }
        void setValue(qsizetype done) override { (*m_opened)[m_index].values.push_back(done); }

    private:
        std::shared_ptr<QList<Opened>> m_opened;
        qsizetype m_index;
    };
};
