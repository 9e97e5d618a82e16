// Issue 17: a save in a folder that others can write to and that keeps each
// name its maker's (sticky, as the system's temporary folder) must not become
// a write the saver never meant: another user's link there is not followed,
// another user's file there is not written, whoever saves, root included,
// and whatever the kernel's own protections are set to. The temporary file
// of a save is the saver's alone until the list is in it.

#include "actions/TextExport.h"
#include "platform/SaveFile.h"

#include "TempTree.h"
#include "../platform/TrashTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace {

// The user who saves (neither root nor the one who plants), and the owner of
// a shared folder in the tests that need one other than root. Both have
// nobody's group, so that a folder only that group may write to is shared
// with the one who plants.
constexpr uid_t kSaver = 4242;
constexpr uid_t kFolderOwner = 4343;

const QString kForeignLink = QStringLiteral(
    "it leads through another user's link in a folder that others can write to, and such a link is not followed");
const QString kForeignFile = QStringLiteral(
    "it is another user's file in a folder that others can write to, and such a file is not written");

void changeOwner(const QString& path, uid_t uid, gid_t gid)
{
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), uid, gid), 0) << path.toStdString();
}

void changeMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

/** A tree that every user may enter, with a folder "shared" of `mode`, owned by `owner` and nobody's group. */
struct SharedTree {
    explicit SharedTree(mode_t mode, uid_t owner = 0)
    {
        changeMode(tree.root(), 0755);
        shared = tree.dir("shared");
        changeOwner(shared, owner, kNobody);
        changeMode(shared, mode);
    }

    /** A file of `uid` holding `content`, in a folder only `uid` may enter. */
    QString privateFile(const QString& folder, const QString& name, const QByteArray& content, uid_t uid)
    {
        const QString path = tree.file(folder + "/" + name, content);
        changeOwner(tree.path(folder), uid, uid);
        changeMode(tree.path(folder), 0700);
        changeOwner(path, uid, uid);
        changeMode(path, 0600);
        return path;
    }

    TempTree tree;
    QString shared;
};

/** Makes `link` pointing at `target` as the user `uid`. */
bool plantLink(uid_t uid, const QString& target, const QString& link)
{
    return runAsUser(uid, kNobody, [&] {
               return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
           })
        == 0;
}

/** Saves `content` to `name` as the user `uid` (root saves in this process); true when the outcome is `expected`. */
bool saveAs(uid_t uid, const QString& name, const QByteArray& content, const std::optional<QString>& expected)
{
    const auto save = [&] {
        const std::optional<QString> outcome = saveTextFile(name, content);
        if (outcome != expected)
            std::fprintf(stderr, "saving %s: %s\n", qPrintable(name), outcome ? qPrintable(*outcome) : "saved");
        return outcome == expected;
    };
    return uid == 0 ? save() : runAsUser(uid, kNobody, save) == 0;
}

QString nameOf(uid_t uid)
{
    return uid == 0 ? QStringLiteral("root") : QString::number(uid);
}

const char kPlanted[] = "x;cd;id>pwned;#\r\n";

/** Sets the process's umask for its life. */
class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask)
        : m_previous(::umask(mask))
    {
    }
    ~UmaskGuard() { ::umask(m_previous); }

private:
    mode_t m_previous;
};

/** Runs `check` with the temporary file's descriptor at each step a save reports, for its life. */
class TemporaryFileWatch {
public:
    explicit TemporaryFileWatch(std::function<void(int fd, platform::TemporaryFileStep step)> check)
    {
        platform::setTemporaryFileHook(std::move(check));
    }
    ~TemporaryFileWatch() { platform::setTemporaryFileHook({}); }
};

} // namespace

TEST(SaveSafety, Issue17AnotherUsersLinkInASharedFolderIsNotFollowedWhoeverSaves)
{
    // Another account links the name the victim will save to (at the end of
    // the path or on the way to it) to a file or folder of the victim's.
    SKIP_UNLESS_ROOT("plant links as one user and save as another");
    // World-writable like the system's temporary folder, or writable by a group (the kernel guards only the first).
    for (const mode_t folderMode : {01777, 01770}) {
        for (const uid_t saver : {kSaver, uid_t(0)}) {
            SCOPED_TRACE(QStringLiteral("folder %1, saved by %2").arg(folderMode, 0, 8).arg(nameOf(saver)).toStdString());
            SharedTree tree(folderMode);
            const QString profile = tree.privateFile("home", ".bash_profile", "old profile\n", saver);
            const QString home = tree.tree.path("home");
            const QString link = tree.shared + "/results.txt";
            const QString dangling = tree.shared + "/made.txt";
            const QString folderLink = tree.shared + "/out";
            ASSERT_TRUE(plantLink(kNobody, profile, link));
            ASSERT_TRUE(plantLink(kNobody, home + "/.profile", dangling));
            ASSERT_TRUE(plantLink(kNobody, home, folderLink));

            EXPECT_TRUE(saveAs(saver, link, kPlanted, link + ": " + kForeignLink));
            EXPECT_TRUE(saveAs(saver, dangling, kPlanted, dangling + ": " + kForeignLink));
            EXPECT_TRUE(saveAs(saver, folderLink + "/.bash_profile", kPlanted,
                               folderLink + "/.bash_profile: " + kForeignLink));
            EXPECT_TRUE(saveAs(saver, folderLink + "/list.txt", kPlanted, folderLink + "/list.txt: " + kForeignLink));

            EXPECT_EQ(bytesOf(profile), QByteArray("old profile\n"));
            EXPECT_EQ(lstatOf(profile).st_mode & 07777, 0600u);
            EXPECT_EQ(entriesOf(home), QStringList{".bash_profile"}) << "nothing made, nothing left behind";
            EXPECT_EQ(entriesOf(tree.shared), (QStringList{"made.txt", "out", "results.txt"}));
            EXPECT_TRUE(S_ISLNK(lstatOf(link).st_mode));
        }
    }
}

TEST(SaveSafety, Issue17LinksTheKernelWouldFollowInASharedFolderAreStillFollowed)
{
    // The saver's own link, and one of the folder's owner, lead where they say.
    SKIP_UNLESS_ROOT("plant links as one user and save as another");
    SharedTree tree(01777, kFolderOwner);
    const QString own = tree.privateFile("home", "own.txt", "old\n", kSaver);
    const QString owners = tree.tree.file("public/owners.txt", "old\n");
    changeMode(owners, 0666);
    ASSERT_TRUE(plantLink(kSaver, own, tree.shared + "/own link"));
    ASSERT_TRUE(plantLink(kFolderOwner, owners, tree.shared + "/owner's link"));
    ASSERT_TRUE(plantLink(kNobody, owners, tree.shared + "/nobody's link"));

    EXPECT_TRUE(saveAs(kSaver, tree.shared + "/own link", "mine\r\n", std::nullopt));
    EXPECT_EQ(bytesOf(own), "mine\r\n");
    EXPECT_TRUE(saveAs(kSaver, tree.shared + "/owner's link", "through the owner's link\r\n", std::nullopt));
    EXPECT_EQ(bytesOf(owners), "through the owner's link\r\n");
    EXPECT_TRUE(saveAs(kSaver, tree.shared + "/nobody's link", "lost\r\n", tree.shared + "/nobody's link: " + kForeignLink));
    EXPECT_EQ(bytesOf(owners), "through the owner's link\r\n");
}

TEST(SaveSafety, Issue17AnotherUsersFileInASharedFolderIsNeitherReplacedNorWrittenInPlace)
{
    // Another account makes the name first, a file anyone may write (0666),
    // to read the list the victim saves into it.
    SKIP_UNLESS_ROOT("make a file as one user and save as another");
    for (const mode_t folderMode : {01777, 01770}) {
        SCOPED_TRACE(QStringLiteral("folder %1").arg(folderMode, 0, 8).toStdString());
        SharedTree tree(folderMode);
        const QString theirs = tree.shared + "/list2.txt";
        ASSERT_EQ(runAsUser(kNobody, kNobody, [&] {
                      const int fd = ::open(QFile::encodeName(theirs).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                      return fd >= 0 && ::fchmod(fd, 0666) == 0 && ::close(fd) == 0;
                  }),
                  0);
        const ino_t inode = lstatOf(theirs).st_ino;

        for (const uid_t saver : {kSaver, uid_t(0)})
            EXPECT_TRUE(saveAs(saver, theirs, kPlanted, theirs + ": " + kForeignFile)) << nameOf(saver).toStdString();
        EXPECT_EQ(bytesOf(theirs), QByteArray());
        EXPECT_EQ(lstatOf(theirs).st_ino, inode);
        EXPECT_EQ(lstatOf(theirs).st_uid, kNobody);
        EXPECT_EQ(lstatOf(theirs).st_mode & 07777, 0666u);

        // The saver's own list there is made and replaced as anywhere else.
        const QString mine = tree.shared + "/mine.txt";
        EXPECT_TRUE(saveAs(kSaver, mine, "first\r\n", std::nullopt));
        EXPECT_TRUE(saveAs(kSaver, mine, "second\r\n", std::nullopt));
        EXPECT_EQ(bytesOf(mine), "second\r\n");
        EXPECT_EQ(lstatOf(mine).st_uid, kSaver);
        EXPECT_EQ(entriesOf(tree.shared), (QStringList{"list2.txt", "mine.txt"}));
    }
}

TEST(SaveSafety, Issue17TheTemporaryFileIsTheSaversAloneUntilTheListIsInIt)
{
    // Another account watching the folder (inotify) opened the temporary file
    // while it could, and read the list through that descriptor later.
    TempTree tree;
    const QString fresh = tree.path("fresh.txt");
    const QString shared = tree.file("shared.txt", "old\n");
    changeMode(shared, 0644);
    const QString secret = tree.file("secret.txt", "old\n");
    changeMode(secret, 0600);

    struct Case {
        QString name;
        mode_t umask;
        mode_t expected;
    };
    const Case cases[] = {{fresh, 022, 0644}, {shared, 022, 0644}, {secret, 022, 0600},
                          {tree.path("private.txt"), 077, 0600}, {tree.path("group.txt"), 002, 0664}};
    for (const Case& saved : cases) {
        SCOPED_TRACE(saved.name.toStdString());
        const UmaskGuard mask(saved.umask);
        std::vector<platform::TemporaryFileStep> steps;
        const TemporaryFileWatch watch([&](int fd, platform::TemporaryFileStep step) {
            struct stat status;
            ASSERT_EQ(::fstat(fd, &status), 0);
            EXPECT_EQ(status.st_mode & 07777, 0600u) << "at step " << int(step);
            EXPECT_EQ(status.st_uid, ::geteuid());
            steps.push_back(step);
        });
        ASSERT_EQ(saveTextFile(saved.name, "the list\r\n"), std::nullopt);
        EXPECT_EQ(steps, (std::vector{platform::TemporaryFileStep::Created, platform::TemporaryFileStep::Written}));
        EXPECT_EQ(lstatOf(saved.name).st_mode & 07777, saved.expected);
        EXPECT_EQ(bytesOf(saved.name), "the list\r\n");
    }
    EXPECT_EQ(entriesOf(tree.root()), (QStringList{"fresh.txt", "group.txt", "private.txt", "secret.txt", "shared.txt"}));
}
