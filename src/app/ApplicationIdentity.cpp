#include "app/ApplicationIdentity.h"

#include "app/ApplicationIcon.h"

#include "BuildConfig.h"

#include <QApplication>

void setApplicationIdentity()
{
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    QApplication::setWindowIcon(applicationIcon());
}
