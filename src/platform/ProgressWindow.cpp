#include "platform/ProgressWindow.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>

#include <algorithm>
#include <climits>

namespace platform {

namespace {

class QtProgressWindow final : public ProgressWindow {
public:
    QtProgressWindow(QWidget* owner, const QString& title, const QString& text, qsizetype total, int delayMs,
                     std::function<void()> cancelled)
        : m_dialog(new QProgressDialog(text, QCoreApplication::translate("ProgressWindow", "Cancel"), 0, clamped(total),
                                       owner))
    {
        m_dialog->setWindowTitle(title);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(delayMs);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, std::move(cancelled));
        m_dialog->setValue(0);
    }
    // The owner may have taken the dialog with it already.
    ~QtProgressWindow() override { delete m_dialog.data(); }

    void setValue(qsizetype done) override
    {
        // Pressing Cancel leaves the bar where it was; the work stops soon after.
        if (m_dialog && !m_dialog->wasCanceled())
            m_dialog->setValue(clamped(done));
    }

private:
    static int clamped(qsizetype count) { return int(std::clamp<qsizetype>(count, 0, INT_MAX)); }

    QPointer<QProgressDialog> m_dialog;
};

} // namespace

QtProgressWindows::QtProgressWindows(std::function<QString()> title, int delayMs)
    : m_title(std::move(title))
    , m_delayMs(delayMs)
{
}

std::unique_ptr<ProgressWindow> QtProgressWindows::open(QWidget* owner, const QString& text, qsizetype total,
                                                        std::function<void()> cancelled)
{
    return std::make_unique<QtProgressWindow>(owner, m_title ? m_title() : QString(), text, total, m_delayMs,
                                              std::move(cancelled));
}

} // namespace platform
