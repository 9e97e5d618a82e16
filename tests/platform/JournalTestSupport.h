#pragma once
// A home for tests of the Trash journal and of undo: its own data folder
// (so its own home trash) and its own journal folder, both temporary.

#include "platform/Trash.h"
#include "platform/TrashJournal.h"

#include "TempTree.h"
#include "TrashTestSupport.h"

#include <gtest/gtest.h>

class JournalTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};
    QByteArray journalFolder = QFile::encodeName(tree.path("state/chronopurge/trash-journal"));
    platform::TrashJournal journal{journalFolder};

    QString trash() const { return tree.path("data/Trash"); }

    /** Moves `paths` to the Trash in one journaled request; returns its id (0 when nothing was journaled). */
    quint64 trashJournaled(const QStringList& paths, std::vector<platform::TrashOutcome>* outcomes = nullptr)
    {
        platform::TrashRequest request(paths);
        const auto recorder = platform::recordInTrashJournal(request, journalFolder);
        const std::vector<platform::TrashOutcome> result = request.run();
        for (const platform::TrashOutcome& outcome : result)
            EXPECT_TRUE(outcome.moved()) << outcome.path.toStdString() << ": " << outcome.reason.toStdString();
        EXPECT_TRUE(recorder->error().isEmpty()) << recorder->error().toStdString();
        if (outcomes)
            *outcomes = result;
        return recorder->id();
    }

    /** The path of request `id`'s journal file. */
    QString journalFile(quint64 id) const { return QFile::decodeName(journalFolder) + '/' + QString::number(id); }
};
