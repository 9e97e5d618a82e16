#include "app/ErrorReport.h"

#include "app/Failure.h"
#include "scan/VisibleText.h"

#include <QCoreApplication>

#include <new>

namespace {

// The descriptions of the steps' own failures, for the translations.
[[maybe_unused]] const char* const kFailureTexts[] = {
    QT_TRANSLATE_NOOP("Failure", "Type mismatch"),
    QT_TRANSLATE_NOOP("Failure", "Invalid picture"),
    QT_TRANSLATE_NOOP("Failure", "Invalid property value"),
    QT_TRANSLATE_NOOP("Failure", "Object variable not set"),
    QT_TRANSLATE_NOOP("Failure", "Subscript out of range"),
};

} // namespace

QString procedureLocation(const QString& object, const QString& procedure)
{
    return QString::fromLatin1(kProjectTag) + QLatin1Char('.') + object + QLatin1Char('.') + procedure;
}

QString errorReportText(const QString& description, const QString& location, int step,
                        const QStringList& extraLines)
{
    // The descriptions are made where a step fails, in English; those the
    // translations know are shown in the user's language. The description and
    // the extra lines may name a file; a control character in a name shows as
    // its sign, so each stays one line.
    // A name's bytes that are not UTF-8 are shown (as U+FFFD) before the
    // description is looked up: its UTF-8 would turn them into "?".
    const QByteArray source = visibleText(description).toUtf8();
    QString text = visibleText(QCoreApplication::translate("Failure", source.constData())) + QStringLiteral("\r\n")
        + QCoreApplication::translate("ErrorReport", "in %1 at line %2").arg(location, QString::number(step))
        + QStringLiteral("\r\r")
        + QCoreApplication::translate("ErrorReport", "Please email screenshot of this message to %1")
              .arg(QString::fromLatin1(kSupportAddress));
    for (const QString& line : extraLines)
        text += QStringLiteral("\r\n") + visibleText(line);
    return text;
}

QString describeCurrentException()
{
    try {
        throw;
    } catch (const Failure& failure) {
        return failure.description();
    } catch (const std::bad_alloc&) {
        return QStringLiteral(QT_TRANSLATE_NOOP("Failure", "Out of memory"));
    } catch (const std::exception& exception) {
        return QString::fromLocal8Bit(exception.what());
    } catch (...) {
        return QStringLiteral(QT_TRANSLATE_NOOP("Failure", "Unexpected failure"));
    }
}

void ShowErrorReport(platform::Dialogs& dialogs, const QString& description, const QString& location,
                     int step, const QStringList& extraLines)
{
    dialogs.errorReport(errorReportText(description, location, step, extraLines));
}

GuardedProcedure::GuardedProcedure(platform::Dialogs& dialogs, QString location)
    : m_dialogs(dialogs)
    , m_location(std::move(location))
{
}

void GuardedProcedure::report(int number, const QString& description)
{
    ++m_failures;
    QStringList extra;
    if (m_extraLines) {
        // The extra lines describe the state that failed; producing them must
        // never hide the report itself.
        try {
            extra = m_extraLines();
        } catch (...) {
            extra.clear();
        }
    }
    ShowErrorReport(m_dialogs, description, m_location, number, extra);
}
