#include "platform/QtDialogs.h"

#include "platform/Trash.h"

#include <QCoreApplication>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
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

QString textWithLink(const QString& text, const QString& address)
{
    // A line break is allowed after each "/" of an address, and a style that
    // forbids breaks holds for whole blocks only: the address gets a block
    // of its own, the text around it blocks that wrap as usual.
    const auto wrapping = [](const QString& part) {
        const QString trimmed = part.trimmed();
        return trimmed.isEmpty()
            ? QString()
            : QStringLiteral("<div>%1</div>").arg(trimmed.toHtmlEscaped().replace(QLatin1Char('\n'),
                                                                                     QStringLiteral("<br>")));
    };
    const int at = text.indexOf(address);
    const QString escaped = address.toHtmlEscaped();
    return wrapping(at < 0 ? text : text.left(at))
        + QStringLiteral("<div style=\"white-space:pre\"><a href=\"%1\">%1</a></div>").arg(escaped)
        + (at < 0 ? QString() : wrapping(text.mid(at + address.size())));
}

void setTextWithLink(QMessageBox& box, const QString& text, const QString& address)
{
    box.setTextFormat(Qt::RichText);
    box.setText(textWithLink(text, address));
    box.setTextInteractionFlags(Qt::TextBrowserInteraction);
    // The label opens an activated link through QDesktopServices.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        label->setOpenExternalLinks(true);
}

void QtDialogs::message(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, m_title(), text, QMessageBox::Ok, owner());
    box.exec();
}

void QtDialogs::messageWithLink(const QString& text, const QString& address)
{
    QMessageBox box(QMessageBox::NoIcon, m_title(), QString(), QMessageBox::Ok, owner());
    setTextWithLink(box, text, address);
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
