#include "app/Responsive.h"

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
