// Chronopurge: finds files by date in folders the user chooses and sends the
// checked ones to the Trash. A map of the subsystems:
//   app/       start-up, the first window (Form1), title, settings keys, error report
//   folders/   the folder list, NormalizeFolderPath, the date kind
//   scan/      the folder walk, file checks, file dates, the found-file table
//   results/   the second window (Form2), the range choice, the filter, the result list
//   actions/   Trash, save and clipboard actions on the result list
//   platform/  the thin layer over the desktop and the operating system

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Chronopurge Software"));
    window.show();
    return application.exec();
}
