// Copies a text as the second window does (SystemClipboard, the text still
// being made or ready) and ends as closing a window does (endProgram), for
// the tests of the clipboard after the program's end.
//
//   clipboard_exit_probe FILE [PENDING-MS]
//
// FILE holds the text. With PENDING-MS the text is made that many
// milliseconds after the copy, so the end finds it still in the making.

#include "app/ProgramEnd.h"
#include "platform/Clipboard.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    if (argc < 2)
        return 2;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray text = file.readAll();
    const int pendingMs = argc > 2 ? std::atoi(argv[2]) : -1;

    QWidget window;
    window.setWindowTitle(QStringLiteral("clipboard_exit_probe"));
    window.resize(120, 80);
    window.show();

    platform::SystemClipboard clipboard;
    std::promise<QByteArray> making;
    std::thread maker;
    if (pendingMs >= 0) {
        if (!clipboard.setPendingUtf8Text(making.get_future().share(), 0))
            return 3;
        maker = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(pendingMs));
            making.set_value(text);
        });
        maker.detach();
    } else if (!clipboard.setUtf8Text(text, 0)) {
        return 3;
    }
    QTimer::singleShot(0, [&] { endProgram(clipboard); });
    return application.exec();
}
