#include "app/Responsive.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>

#include <exception>
#include <thread>

void runKeepingWindowsResponsive(const std::function<void()>& work)
{
    QEventLoop loop;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted, not called: quit() must run on the loop's own thread, and a
        // posted call made before exec() starts is handled once it does.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

void postTo(QObject* context, std::function<void()> call)
{
    QMetaObject::invokeMethod(context, std::move(call), Qt::QueuedConnection);
}

namespace {

class InputFilter final : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Shortcut:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::Drop:
            return true;
        case QEvent::ShortcutOverride:
            // Accepted here, the key is taken for no shortcut, then dropped as a key.
            event->accept();
            return true;
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

} // namespace

UserInputPause::UserInputPause()
    : m_filter(std::make_unique<InputFilter>())
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(m_filter.get());
}

UserInputPause::~UserInputPause() = default;
