#include "platform/QtDialogs.h"

#include "platform/Trash.h"

#include <QCoreApplication>
#include <QApplication>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>

namespace platform {

namespace {

QWidget* owner()
{
    return QApplication::activeWindow();
}

} // namespace

QtDialogs::QtDialogs(std::function<QString()> title)
    : m_title(std::move(title))
{
}

void QtDialogs::message(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, m_title(), text, QMessageBox::Ok, owner());
    box.exec();
}

bool QtDialogs::ask(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, m_title(), text, QMessageBox::Yes | QMessageBox::No, owner());
    return box.exec() == QMessageBox::Yes;
}

void QtDialogs::errorReport(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("ErrorReport", "Application Error"), text,
                    QMessageBox::Ok, owner());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString QtDialogs::browseForFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(owner(), title, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtDialogs::saveFileName(const QString& title, const QStringList& filters)
{
    QFileDialog dialog(owner(), title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setDefaultSuffix(QString());
    if (!filters.isEmpty())
        dialog.selectNameFilter(filters.first());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool QtDialogs::confirmTrash(const TrashSummary& summary)
{
    return ask(trashQuestionText(summary));
}

} // namespace platform
