#pragma once
// A second window over real files, for the tests of its Trash, its undo and
// its other actions: a temporary tree, its own home trash, and helpers that
// list files and check rows as the user would.

#include "../platform/TrashTestSupport.h"
#include "Form2Fixture.h"
#include "TempTree.h"

#include <QFile>

#include <initializer_list>

class Form2WithFiles : public Form2Test {
protected:
    TempTree files;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(files.path("data"))};

    QString trash() const { return files.path("data/Trash"); }

    /** Lists `count` real files (f0.txt ...) in the result list as a scan of "r/" would; returns their paths. */
    QStringList listFiles(int count)
    {
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths << files.file(QStringLiteral("r/f%1.txt").arg(i), QByteArray("content ") + QByteArray::number(i));
            appendListedFile(table, files.path("r/"), paths.last(), at(2024, 5, 1 + i % 20, 10));
        }
        Form2& window = arrive();
        window.chooseOption(2);
        window.setPickerSeconds(2, at(2030, 1, 1));
        window.PushButton1_Click();
        return paths;
    }

    /** Checks the rows `rows` (0 for the top). */
    void check(std::initializer_list<int> rows)
    {
        for (int row : rows)
            form->resultModel().setChecked(row, true);
    }
};
