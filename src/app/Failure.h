#pragma once

#include <QString>

#include <stdexcept>

/**
 * A failure inside a guarded procedure, carrying its one-line description.
 * Guarded procedures catch it (and any std::exception) and show the error report.
 */
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString())
        , m_description(description)
    {
    }
    QString description() const { return m_description; }

private:
    QString m_description;
};

/** Throws a Failure with `description`. */
[[noreturn]] inline void fail(const QString& description)
{
    throw Failure(description);
}
