// The Windows platform layer: settings in the registry, the save, the
// Recycle Bin, and the path rules that compare names without letter case.

#include "WindowsTree.h"

#include "actions/ResultRows.h"
#include "actions/TextExport.h"
#include "cli/CommandLine.h"
#include "folders/NestedFolders.h"
#include "platform/SaveFile.h"
#include "platform/SettingsStore.h"
#include "platform/Trash.h"
#include "filter/RangeFilter.h"
#include "scan/ScanEngine.h"

#include <QUuid>

#include <gtest/gtest.h>

namespace {

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The registry text at `subKey` of HKEY_CURRENT_USER under `name`, or "<missing>".
QString registryText(const QString& subKey, const QString& name)
{
    wchar_t text[512];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, subKey.toStdWString().c_str(), name.toStdWString().c_str(), RRF_RT_ANY,
                     &type, text, &size)
            != ERROR_SUCCESS
        || type != REG_SZ)
        return QStringLiteral("<missing>");
    return QString::fromWCharArray(text);
}

} // namespace

TEST(SettingsWindows, ValuesAreRegistryTextsUnderTheApplicationAndSection)
{
    EXPECT_EQ(platform::SettingsStore::defaultFilePath(),
              QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Brindlewick"));

    const QString subKey = QStringLiteral("Software\\Chronopurge tests\\") + QUuid::createUuid().toString();
    platform::SettingsStore store(QStringLiteral("HKEY_CURRENT_USER\\") + subKey);
    EXPECT_EQ(store.read(QStringLiteral("LastFolderDot"), QStringLiteral("none")), QStringLiteral("none"));
    store.write(QStringLiteral("LastFolderDot"), QStringLiteral("C:\\Data\\a,b;c"));
    store.write(QStringLiteral("DateOption"), QStringLiteral("2"));

    // Written at once, as text, where other programs read it.
    const QString section = subKey + QStringLiteral("\\Chronopurge Software");
    EXPECT_EQ(registryText(section, QStringLiteral("LastFolderDot")), QStringLiteral("C:\\Data\\a,b;c"));
    EXPECT_EQ(registryText(section, QStringLiteral("DateOption")), QStringLiteral("2"));
    // A value another program stored is read as it is.
    const std::wstring value = L"C:\\Old Install";
    RegSetKeyValueW(HKEY_CURRENT_USER, section.toStdWString().c_str(), L"FromBefore", REG_SZ, value.c_str(),
                    DWORD((value.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(store.read(QStringLiteral("FromBefore"), {}), QStringLiteral("C:\\Old Install"));
    RegDeleteTreeW(HKEY_CURRENT_USER, subKey.toStdWString().c_str());
}

TEST(SaveWindows, ReplacesWholeAndRefusesWhatItMayNotReplace)
{
    WindowsTree tree;
    const QString fresh = tree.path("fresh.txt");
    EXPECT_EQ(platform::saveFile(fresh, "new list\r\n"), std::nullopt);
    EXPECT_EQ(contentOf(fresh), QByteArray("new list\r\n"));

    const QString existing = tree.file("existing.txt", {}, "a much longer old list");
    EXPECT_EQ(platform::saveFile(existing, "short"), std::nullopt);
    EXPECT_EQ(contentOf(existing), QByteArray("short"));

    const QString readOnly = tree.file("read-only.txt", {}, "keep me");
    ASSERT_TRUE(SetFileAttributesW(readOnly.toStdWString().c_str(), FILE_ATTRIBUTE_READONLY));
    const std::optional<QString> refused = platform::saveFile(readOnly, "lost");
    ASSERT_TRUE(refused.has_value());
    EXPECT_TRUE(refused->startsWith(readOnly + QStringLiteral(": "))) << qPrintable(*refused);
    EXPECT_EQ(contentOf(readOnly), QByteArray("keep me"));
    SetFileAttributesW(readOnly.toStdWString().c_str(), FILE_ATTRIBUTE_NORMAL);

    EXPECT_TRUE(platform::saveFile(tree.dir("folder"), "x").has_value());
    // No temporary file is left behind, whatever happened.
    EXPECT_EQ(namesIn(tree.root()), (QStringList{"existing.txt", "fresh.txt", "read-only.txt"}));
}

TEST(SaveWindows, TheListKeepsNamesNoCodePageHas)
{
    class Rows final : public ResultRows {
    public:
        qsizetype rowCount() const override { return 1; }
        QString text(qsizetype, int column) const override
        {
            return column == 0 ? QStringLiteral("C:\\Фото\\café 東京.txt") : QString();
        }
        bool isChecked(qsizetype) const override { return true; }
    };
    WindowsTree tree;
    EXPECT_EQ(saveResultsText(tree.path("list.txt"), Rows()), std::nullopt);
    EXPECT_EQ(contentOf(tree.path("list.txt")), QStringLiteral("C:\\Фото\\café 東京.txt\r\n").toUtf8());
}

TEST(PathsWindows, NamesAreComparedWithoutLetterCase)
{
    EXPECT_EQ(nestedEntryPositions({QStringLiteral("C:\\Data\\Photos\\"), QStringLiteral("c:\\data\\")}),
              QList<int>{1});
    EXPECT_EQ(nestedEntryPositions({QStringLiteral("C:\\Data2\\"), QStringLiteral("C:\\Data\\")}), QList<int>{});
    // The command line walks a folder given twice, or below another, once.
    EXPECT_EQ(cli::withoutNestedFolders({QStringLiteral("C:\\Data\\"), QStringLiteral("c:\\data\\Photos\\"),
                                    QStringLiteral("c:\\DATA\\")}),
              QStringList{QStringLiteral("C:\\Data\\")});

    FoundFileTable table;
    table.append(QStringLiteral("C:\\Data\\Report.txt"), 0, {});
    table.append(QStringLiteral("C:\\Data\\other.txt"), 0, {});
    table.append(QStringLiteral("c:\\data\\REPORT.TXT"), 0, {});
    table.append(QStringLiteral("C:\\Données\\Été 2019.txt"), 0, {});
    table.append(QStringLiteral("c:\\DONNÉES\\éTÉ 2019.TXT"), 0, {});
    EXPECT_EQ(keepFirstOfEachPath(table, {0, 1, 2, 3, 4}), (std::vector<qsizetype>{0, 1, 3}));

    // Two listed folders, one inside the other in other letter case, can list a path twice.
    FoundFileTable listed;
    listed.beginListedFolder(QStringLiteral("C:\\Data\\"), PathsBelow::Unique);
    listed.beginListedFolder(QStringLiteral("c:\\data\\Photos\\"), PathsBelow::Unique);
    EXPECT_TRUE(listed.mayRepeatPaths());
}

// Wine deletes a file for good when its Trash folder is missing, and reports
// success all the same: the runner says it made the folder first.
class RecycleBinWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariable("CHRONOPURGE_RECYCLE_BIN_READY") != QLatin1String("1"))
            GTEST_SKIP() << "the Recycle Bin is not known to keep files here (set CHRONOPURGE_RECYCLE_BIN_READY=1)";
    }
};

TEST_F(RecycleBinWindows, MovesTheListedFileAndRefusesAnythingElse)
{
    WindowsTree tree;
    tree.file("go.txt");
    tree.file("replaced.txt", {}, "listed");
    tree.dir("folder");
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanEngine().run({tree.root() + QLatin1Char('\\')}, table, {}, cancel);
    ASSERT_EQ(table.size(), 2);

    // The file listed as replaced.txt is swapped for another one of that name.
    const QString replaced = tree.path("replaced.txt");
    ASSERT_TRUE(QFile::rename(replaced, tree.path("moved-away.txt")));
    tree.file("replaced.txt", {}, "another file");

    std::vector<platform::TrashItem> items;
    for (qsizetype i = 0; i < table.size(); ++i)
        items.push_back({table.path(i), table.listedFolder(i), table.identity(i), 1});
    items.push_back({tree.path("folder"), {}, {}, 0});
    items.push_back({tree.path("missing.txt"), {}, {}, 0});
    // A file ID of 0 is one the scan did not trust (FAT, network drives):
    // the drive and the kind still have to match.
    const platform::FileIdentity untrusted{table.identity(0).device, 0, platform::FileType::Regular};
    items.push_back({tree.file("untrusted-id.txt"), {}, untrusted, 1});
    items.push_back({tree.file("other-drive.txt"), {}, {untrusted.device + 1, 0, platform::FileType::Regular}, 1});
    const std::vector<platform::TrashOutcome> outcomes = platform::TrashRequest(items).run();

    ASSERT_EQ(outcomes.size(), 6u);
    EXPECT_TRUE(outcomes[0].moved()) << qPrintable(outcomes[0].reason);
    EXPECT_FALSE(QFile::exists(tree.path("go.txt")));
    EXPECT_EQ(outcomes[1].reason, platform::changedSinceSearchReason());
    EXPECT_EQ(contentOf(replaced), QByteArray("another file"));
    EXPECT_EQ(outcomes[2].reason, QStringLiteral("it is a folder"));
    EXPECT_TRUE(QFileInfo(tree.path("folder")).isDir());
    EXPECT_EQ(outcomes[3].reason, QStringLiteral("the file is no longer there"));
    EXPECT_TRUE(outcomes[4].moved()) << qPrintable(outcomes[4].reason);
    EXPECT_EQ(outcomes[5].reason, platform::changedSinceSearchReason());
    EXPECT_TRUE(QFile::exists(tree.path("other-drive.txt")));
}

TEST_F(RecycleBinWindows, UnderWineAMissingTrashFolderRefusesRatherThanDeletes)
{
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "only Wine stands its Recycle Bin on a Linux Trash folder";
    // Wine would delete for good here, so the path names no file: a refusal
    // names the missing Trash, a request that went on finds no file.
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/no-such-folder-of-chronopurge-tests");
    WindowsTree tree;
    const platform::TrashOutcome outcome = platform::trashFile(tree.path("no-file.txt"));
    qputenv("XDG_DATA_HOME", saved);
    EXPECT_FALSE(outcome.moved());
    EXPECT_EQ(outcome.reason, QStringLiteral("this drive has no Trash the program may use"));
}

TEST_F(RecycleBinWindows, ACancelledRequestLeavesTheRestAlone)
{
    WindowsTree tree;
    platform::TrashRequest request(QStringList{tree.file("a.txt"), tree.file("b.txt")});
    request.setBeforeMoves([&](qsizetype first, qsizetype) {
        if (first == 1)
            request.cancel();
    });
    const std::vector<platform::TrashOutcome> outcomes = request.run();
    EXPECT_TRUE(outcomes[0].moved());
    EXPECT_EQ(outcomes[1].status, platform::TrashStatus::NotAttempted);
    EXPECT_TRUE(QFile::exists(tree.path("b.txt")));
}
