// The running program, its menu entry and its metainfo name one another the
// same way, so that task bars and software centres put them together.

#include "app/ApplicationIdentity.h"

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

namespace {

QString sourceFile(const QString& relative)
{
    return QStringLiteral(CHRONOPURGE_SOURCE_DIR "/") + relative;
}

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(ApplicationIdentity, DesktopFileNameVersionAndIconMatchTheMenuEntryAndTheProject)
{
    setApplicationIdentity();
    const QString name = QGuiApplication::desktopFileName();
    ASSERT_EQ(name, "example.brindlewick.Chronopurge");

    QSettings entry(sourceFile("data/" + name + ".desktop"), QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("Icon").toString(), name);
    EXPECT_EQ(entry.value("Exec").toString(), "chronopurge %F");
    EXPECT_TRUE(QFile::exists(sourceFile("data/" + name + ".svg")));
    const QString metainfo = read(sourceFile("data/" + name + ".metainfo.xml.in"));
    EXPECT_TRUE(metainfo.contains("<id>" + name + "</id>"));
    EXPECT_TRUE(metainfo.contains("<launchable type=\"desktop-id\">" + name + ".desktop</launchable>"));

    const QRegularExpressionMatch project
        = QRegularExpression(R"(project\(Chronopurge VERSION ([0-9.]+))").match(read(sourceFile("CMakeLists.txt")));
    ASSERT_TRUE(project.hasMatch());
    EXPECT_EQ(QCoreApplication::applicationVersion(), project.captured(1));

    // The window icon carries every size the build draws, from the menu's 16 to 256.
    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    EXPECT_EQ(sizes.size(), 8);
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(256, 256)));
}
