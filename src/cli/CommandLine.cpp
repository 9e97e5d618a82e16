#include "cli/CommandLine.h"

#include "folders/FolderPath.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

#include <cstring>

namespace cli {

namespace {

// Ages further back than this are typing mistakes, not ranges.
constexpr qint64 kLargestAgeCount = 100000;

constexpr char kRangeOptions[] = "--after, --before, --on, --between, --older-than, --newer-than";

QString dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

std::optional<QDate> parseDate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

// One usage error on its way out of the parser.
struct Refusal {
    QString message;
};

[[noreturn]] void refuse(const QString& message)
{
    throw Refusal{message};
}

QDate dateValue(const QString& option, const QString& text)
{
    const std::optional<QDate> date = parseDate(text);
    if (!date)
        refuse(QStringLiteral("%1: '%2' is not a date (YYYY-MM-DD)").arg(option, text));
    return *date;
}

QString absoluteFolder(const QString& workingFolder, const QString& folder)
{
    const QString absolute = withNativeSeparators(QDir::cleanPath(QDir(workingFolder).absoluteFilePath(folder)));
    return absolute.endsWith(kPathSeparator) ? absolute : absolute + kPathSeparator;
}

} // namespace

std::optional<QDate> subtractAge(QDate today, const QString& age)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,12})([dwmy])$"));
    const QRegularExpressionMatch match = form.match(age);
    if (!match.hasMatch() || !today.isValid())
        return std::nullopt;
    const qint64 count = match.captured(1).toLongLong();
    if (count > kLargestAgeCount)
        return std::nullopt;
    QDate date;
    switch (match.captured(2).at(0).toLatin1()) {
    case 'd':
        date = today.addDays(-count);
        break;
    case 'w':
        date = today.addDays(-7 * count);
        break;
    case 'm':
        // Qt keeps the day of the month where it can and otherwise takes the
        // month's last day: 31 March less a month is 28 or 29 February.
        date = today.addMonths(-int(count));
        break;
    case 'y':
        date = today.addYears(-int(count));
        break;
    }
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

QStringList withoutNestedFolders(const QStringList& folders)
{
    QStringList kept;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const QString& folder = folders[i];
        bool covered = false;
        for (qsizetype j = 0; j < folders.size() && !covered; ++j) {
            if (i == j || !folder.startsWith(folders[j], kPathCase))
                continue;
            // An equal folder covers only the ones after it, so that one stays.
            covered = folders[j].size() < folder.size() || j < i;
        }
        if (!covered)
            kept << folder;
    }
    return kept;
}

namespace {

// Every option the program knows, by name, with the name of its value.
struct Options {
    static QCommandLineOption flag(const QString& name) { return QCommandLineOption(name); }
    static QCommandLineOption valued(const QString& name, const QString& value)
    {
        return QCommandLineOption(name, QString(), value);
    }

    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version = flag(QStringLiteral("version"));
    QCommandLineOption kind{QStringList{QStringLiteral("k"), QStringLiteral("kind")}, QString(), QStringLiteral("KIND")};
    QCommandLineOption after = valued(QStringLiteral("after"), QStringLiteral("DATE"));
    QCommandLineOption before = valued(QStringLiteral("before"), QStringLiteral("DATE"));
    QCommandLineOption on = valued(QStringLiteral("on"), QStringLiteral("DATE"));
    QCommandLineOption between = valued(QStringLiteral("between"), QStringLiteral("FIRST..LAST"));
    QCommandLineOption olderThan = valued(QStringLiteral("older-than"), QStringLiteral("AGE"));
    QCommandLineOption newerThan = valued(QStringLiteral("newer-than"), QStringLiteral("AGE"));
    QCommandLineOption all = flag(QStringLiteral("all"));
    QCommandLineOption dateFormat = valued(QStringLiteral("date-format"), QStringLiteral("FORMAT"));
    QCommandLineOption print0{QStringList{QStringLiteral("0"), QStringLiteral("print0")}};
    QCommandLineOption save = valued(QStringLiteral("save"), QStringLiteral("FILE"));
    QCommandLineOption trash = flag(QStringLiteral("trash"));
    QCommandLineOption stats = flag(QStringLiteral("stats"));
    QCommandLineOption threads = valued(QStringLiteral("threads"), QStringLiteral("N"));
    QCommandLineOption undo = flag(QStringLiteral("undo"));
    QCommandLineOption undoList = flag(QStringLiteral("undo-list"));
    QCommandLineOption exclude = valued(QStringLiteral("exclude"), QStringLiteral("PATTERN"));
    QCommandLineOption name = valued(QStringLiteral("name"), QStringLiteral("GLOB"));
    QCommandLineOption iname = valued(QStringLiteral("iname"), QStringLiteral("GLOB"));
    QCommandLineOption size = valued(QStringLiteral("size"), QStringLiteral("SIZE"));
    QCommandLineOption oneFileSystem{QStringList{QStringLiteral("x"), QStringLiteral("one-file-system")}};
    QCommandLineOption keepNewest = valued(QStringLiteral("keep-newest"), QStringLiteral("N"));
    QCommandLineOption format = valued(QStringLiteral("format"), QStringLiteral("FORMAT"));
    QCommandLineOption summary = flag(QStringLiteral("summary"));
    QCommandLineOption trashFrom = valued(QStringLiteral("trash-from"), QStringLiteral("FILE"));
    // Its file is the one operand it takes (the parser knows no optional values).
    QCommandLineOption rules = flag(QStringLiteral("rules"));
    // Tests fix "today" with this; it is in no help text.
    QCommandLineOption fixedToday = valued(QStringLiteral("today"), QStringLiteral("DATE"));

    QList<QCommandLineOption> list() const
    {
        return {help, version, kind, after, before, on, between, olderThan, newerThan, all, dateFormat, print0,
                save, trash, stats, threads, undo, undoList, exclude, name, iname, size, oneFileSystem,
                keepNewest, format, summary, trashFrom, rules, fixedToday};
    }
};

/** The value of `option` looked up in `choices`; a usage error names the choices otherwise. */
template <typename Value>
Value choice(const QCommandLineParser& parser, const QCommandLineOption& option,
             std::initializer_list<std::pair<const char*, Value>> choices)
{
    const QString value = parser.value(option);
    QStringList names;
    for (const auto& [name, result] : choices) {
        if (value == QLatin1String(name))
            return result;
        names << QString::fromLatin1(name);
    }
    const QString last = names.takeLast();
    refuse(QStringLiteral("%1: '%2' is not %3 or %4")
               .arg(dashed(option.names().last()), value, names.join(QStringLiteral(", ")), last));
}

/** --undo [ID] or --undo-list, which take no other option but -0 (with --undo). */
void readUndo(const QCommandLineParser& parser, const Options& options, CommandLine& line)
{
    const bool list = parser.isSet(options.undoList);
    const QCommandLineOption& action = list ? options.undoList : options.undo;
    for (const QString& name : parser.optionNames()) {
        if (!action.names().contains(name) && (list || !options.print0.names().contains(name)))
            refuse(QStringLiteral("%1 cannot be combined with %2").arg(dashed(action.names().first()), dashed(name)));
    }
    const QStringList positional = parser.positionalArguments();
    if (list) {
        if (!positional.isEmpty())
            refuse(QStringLiteral("--undo-list takes no folder or id"));
        line.command = Command::UndoList;
        return;
    }
    line.command = Command::Undo;
    line.print0 = parser.isSet(options.print0);
    if (positional.size() > 1)
        refuse(QStringLiteral("--undo takes one request id at most"));
    if (positional.size() == 1) {
        bool ok = false;
        const quint64 id = positional.first().toULongLong(&ok);
        if (!ok || id == 0)
            refuse(QStringLiteral("--undo: '%1' is not a request id (see --undo-list)").arg(positional.first()));
        line.undoId = id;
    }
}

/** The one range, if any, or --all. */
void readRange(const QCommandLineParser& parser, const Options& options, QDate today, CommandLine& line)
{
    int ranges = 0;
    for (const QCommandLineOption* option : {&options.after, &options.before, &options.on, &options.between,
                                             &options.olderThan, &options.newerThan})
        ranges += int(parser.values(*option).size());
    if (ranges > 1)
        refuse(QStringLiteral("only one range can be given (%1)").arg(QLatin1String(kRangeOptions)));
    line.all = parser.isSet(options.all);
    if (line.all && ranges > 0)
        refuse(QStringLiteral("--all cannot be combined with a range"));

    const struct {
        const QCommandLineOption& option;
        RangeMode mode;
    } singleDays[] = {{options.after, RangeMode::After}, {options.before, RangeMode::Before}, {options.on, RangeMode::On}};
    for (const auto& [option, mode] : singleDays) {
        if (parser.isSet(option))
            line.range = RangeChoice{mode, localSecondsOf(dateValue(dashed(option.names().first()), parser.value(option))), 0};
    }
    if (parser.isSet(options.between)) {
        const QString value = parser.value(options.between);
        const QStringList ends = value.split(QStringLiteral(".."));
        if (ends.size() != 2)
            refuse(QStringLiteral("--between: '%1' is not FIRST..LAST (two dates, YYYY-MM-DD..YYYY-MM-DD)").arg(value));
        line.range = RangeChoice{RangeMode::Between, localSecondsOf(dateValue("--between", ends[0])),
                                 localSecondsOf(dateValue("--between", ends[1]))};
    }
    // An age counts back from today: older than it is before that day, newer after it.
    for (const QCommandLineOption* option : {&options.olderThan, &options.newerThan}) {
        if (!parser.isSet(*option))
            continue;
        const std::optional<QDate> day = subtractAge(today, parser.value(*option));
        if (!day)
            refuse(QStringLiteral("%1: '%2' is not an age (a count and d, w, m or y, e.g. 30d)")
                       .arg(dashed(option->names().first()), parser.value(*option)));
        const RangeMode mode = option == &options.olderThan ? RangeMode::Before : RangeMode::After;
        line.range = RangeChoice{mode, localSecondsOf(*day), 0};
    }
}

/** Refuses every option given besides `action` and `allowed`. */
void refuseOthers(const QCommandLineParser& parser, const QCommandLineOption& action,
                  std::initializer_list<const QCommandLineOption*> allowed)
{
    for (const QString& name : parser.optionNames()) {
        bool known = action.names().contains(name);
        for (const QCommandLineOption* option : allowed)
            known = known || option->names().contains(name);
        if (!known)
            refuse(QStringLiteral("%1 cannot be combined with %2").arg(dashed(action.names().last()), dashed(name)));
    }
}

/** --exclude, --name, --iname, --size, -x and --keep-newest, and the filter they make. */
void readFilters(const QCommandLineParser& parser, const Options& options, CommandLine& line)
{
    FilterChoices& choices = line.filterChoices;
    choices.excludes = parser.values(options.exclude);
    choices.names = parser.values(options.name);
    choices.caseIgnoredNames = parser.values(options.iname);
    for (const QString& text : parser.values(options.size)) {
        const std::optional<SizeBound> bound = parseSizeBound(text);
        if (!bound)
            refuse(QStringLiteral("--size: '%1' is not a size (+N for at least N bytes, -N for at most; "
                                  "N may end in b, k, M or G)").arg(text));
        std::optional<qint64>& side = bound->side == SizeBound::Side::AtLeast ? choices.smallest : choices.largest;
        if (side)
            refuse(QStringLiteral("--size: only one +N and one -N can be given"));
        side = bound->bytes;
    }
    choices.oneFileSystem = parser.isSet(options.oneFileSystem);
    if (parser.isSet(options.keepNewest)) {
        bool ok = false;
        const QString text = parser.value(options.keepNewest);
        choices.keepNewest = text.toLongLong(&ok);
        if (!ok || choices.keepNewest < 0 || text.startsWith(QLatin1Char('+')))
            refuse(QStringLiteral("--keep-newest: '%1' is not a number of files").arg(text));
    }
    if (choices.isEmpty())
        return;
    auto made = ScanFilter::make(choices);
    if (const QString* error = std::get_if<QString>(&made))
        refuse(*error);
    line.filter = std::make_shared<const ScanFilter>(std::move(std::get<ScanFilter>(made)));
}

/** --format and --summary, and what they cannot go with. */
void readOutputForm(const QCommandLineParser& parser, const Options& options, CommandLine& line)
{
    if (parser.isSet(options.format))
        line.format = choice(parser, options.format,
                             {std::pair{"rows", OutputFormat::Rows}, std::pair{"csv", OutputFormat::Csv},
                              std::pair{"jsonl", OutputFormat::Jsonl}});
    line.summary = parser.isSet(options.summary);
    const auto refuseWith = [&](const QString& form, std::initializer_list<const QCommandLineOption*> others) {
        for (const QCommandLineOption* other : others) {
            if (parser.isSet(*other))
                refuse(QStringLiteral("%1 cannot be combined with %2").arg(form, dashed(other->names().last())));
        }
    };
    // Records are for other programs: the paths alone, a saved list, a
    // summary or the paths moved are other answers.
    if (line.format != OutputFormat::Rows)
        refuseWith(QStringLiteral("--format ") + parser.value(options.format),
                   {&options.print0, &options.save, &options.summary, &options.trash});
    if (line.summary)
        refuseWith(QStringLiteral("--summary"), {&options.print0, &options.save});
}

} // namespace

std::variant<CommandLine, UsageError> parseCommandLine(const QStringList& arguments, const QString& workingFolder,
                                                       QDate today)
{
    // "--rules=FILE" is "--rules FILE": the file is its operand.
    static const QRegularExpression rulesWithFile(QStringLiteral("--rules=.*"), QRegularExpression::DotMatchesEverythingOption);
    if (const qsizetype given = arguments.indexOf(rulesWithFile);
        given > 0 && !arguments.mid(1, given - 1).contains(QStringLiteral("--"))) {
        QStringList split = arguments;
        split[given] = arguments[given].mid(qsizetype(std::strlen("--rules=")));
        split.insert(given, QStringLiteral("--rules"));
        return parseCommandLine(split, workingFolder, today);
    }

    const Options options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(options.list());
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            return UsageError{QStringLiteral("unknown option '%1'").arg(dashed(unknown.first()))};
        // Qt's own sentence ("Missing value after '--after'."), as one of our lines.
        QString message = parser.errorText();
        if (message.endsWith(QLatin1Char('.')))
            message.chop(1);
        if (!message.isEmpty())
            message[0] = message[0].toLower();
        return UsageError{message};
    }

    CommandLine line;
    try {
        if (parser.isSet(options.help)) {
            line.command = Command::Help;
            return line;
        }
        if (parser.isSet(options.version)) {
            line.command = Command::Version;
            return line;
        }
        if (parser.isSet(options.undo) || parser.isSet(options.undoList)) {
            readUndo(parser, options, line);
            return line;
        }
        if (parser.isSet(options.trashFrom)) {
            refuseOthers(parser, options.trashFrom, {&options.print0});
            if (!parser.positionalArguments().isEmpty())
                refuse(QStringLiteral("--trash-from takes no folder: the list names the files"));
            const QString list = parser.value(options.trashFrom);
            if (list.isEmpty())
                refuse(QStringLiteral("--trash-from needs a file name, or - for standard input"));
            line.command = Command::TrashFrom;
            line.print0 = parser.isSet(options.print0);
            line.trashFrom = list == QLatin1String("-") ? list : QDir::cleanPath(QDir(workingFolder).absoluteFilePath(list));
            return line;
        }
        if (parser.isSet(options.rules)) {
            refuseOthers(parser, options.rules, {});
            const QStringList positional = parser.positionalArguments();
            if (positional.size() > 1)
                refuse(QStringLiteral("--rules takes one rules file at most"));
            line.command = Command::Rules;
            if (!positional.isEmpty()) {
                if (positional.first().isEmpty())
                    refuse(QStringLiteral("--rules: the file name is empty"));
                line.rulesFile = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(positional.first()));
            }
            return line;
        }
        if (parser.isSet(options.fixedToday))
            today = dateValue(QStringLiteral("--today"), parser.value(options.fixedToday));
        readRange(parser, options, today, line);

        if (parser.isSet(options.kind))
            line.kind = choice(parser, options.kind, {std::pair{"modified", DateKind::Modified},
                                                      std::pair{"created", DateKind::Created},
                                                      std::pair{"accessed", DateKind::Accessed}});
        if (parser.isSet(options.dateFormat))
            line.dateFormat = choice(parser, options.dateFormat,
                                     {std::pair{"locale", DateFormat::Locale}, std::pair{"iso", DateFormat::Iso}});
        if (parser.isSet(options.threads)) {
            bool ok = false;
            line.threads = parser.value(options.threads).toInt(&ok);
            if (!ok || line.threads < 1 || line.threads > 256)
                refuse(QStringLiteral("--threads: '%1' is not a number from 1 to 256").arg(parser.value(options.threads)));
        }
        line.print0 = parser.isSet(options.print0);
        line.stats = parser.isSet(options.stats);
        line.trash = parser.isSet(options.trash);
        if (parser.isSet(options.save)) {
            if (parser.value(options.save).isEmpty())
                refuse(QStringLiteral("--save needs a file name"));
            line.saveFile = QDir::cleanPath(QDir(workingFolder).absoluteFilePath(parser.value(options.save)));
        }
        readFilters(parser, options, line);
        readOutputForm(parser, options, line);
        // The flag is the consent to move files, so it must say which: a
        // forgotten range would otherwise send every file to the Trash.
        if (line.trash && !line.range && !line.all)
            refuse(QStringLiteral("--trash needs a range (%1) or --all").arg(QLatin1String(kRangeOptions)));

        const QStringList positional = parser.positionalArguments();
        if (positional.isEmpty())
            refuse(QStringLiteral("no folder given"));
        for (const QString& folder : positional) {
            if (folder.isEmpty())
                refuse(QStringLiteral("a folder name is empty"));
            line.folders << absoluteFolder(workingFolder, folder);
        }
    } catch (const Refusal& refusal) {
        return UsageError{refusal.message};
    }
    return line;
}

QString usageHint()
{
    return QStringLiteral("Try 'chronopurge-cli --help' for more information.");
}

#ifdef Q_OS_WIN
// What differs on Windows: names compared as its file systems do, the rules'
// folders, and text in a console, whose code page lacks most scripts
// (ConsoleText_windows.cpp).
constexpr char kPlatformNotes[] = "On Windows --exclude and --name compare names without letter case, patterns\n"
                               "take \"/\" between folders, and --rules reads %APPDATA%\\Chronopurge\\rules\n"
                               "unless given a FILE; \"~\" in a rule is %USERPROFILE%. Text reaches a console\n"
                               "as the characters it holds, whatever the console's code page, and a pipe or\n"
                               "a file as UTF-8 with CR LF line ends.\n"
                               "\n";
#else
constexpr char kPlatformNotes[] = "";
#endif

QString helpText()
{
    return QStringLiteral(
        "Usage: chronopurge-cli [OPTION]... FOLDER...\n"
        "  or:  chronopurge-cli --trash-from FILE\n"
        "  or:  chronopurge-cli --rules [FILE]\n"
        "  or:  chronopurge-cli --undo [ID]\n"
        "  or:  chronopurge-cli --undo-list\n"
        "List the files below each FOLDER with their dates, in the order Chronopurge\n"
        "finds them (each folder's own files, then its subfolders level by level), or\n"
        "only those in a date range, and move them to the Trash if asked. Ranges\n"
        "compare calendar days in local time. Files whose names begin with \"~\" are\n"
        "left out (--stats counts them).\n"
        "\n"
        "Range (at most one; without one every file is listed):\n"
        "      --after DATE           files dated after DATE (DATE's day not included)\n"
        "      --before DATE          files dated before DATE (DATE's day not included)\n"
        "      --on DATE              files dated on DATE\n"
        "      --between FIRST..LAST  files dated from FIRST to LAST, both included\n"
        "      --older-than AGE       files dated before today less AGE\n"
        "      --newer-than AGE       files dated after today less AGE\n"
        "      --all                  every file found (--trash needs this or a range)\n"
        "  -k, --kind KIND            the date that counts: modified (the default),\n"
        "                             created or accessed\n"
        "\n"
        "Filters (each may be repeated but -x and --keep-newest):\n"
        "      --exclude PATTERN      leave out what matches: without a \"/\" a file or\n"
        "                             folder name at any depth, with one the path below\n"
        "                             the FOLDER; an excluded folder is not opened\n"
        "      --name GLOB            only files whose name matches a GLOB\n"
        "      --iname GLOB           the same without letter case\n"
        "      --size +N, --size -N   only files of at least / at most N bytes; N may\n"
        "                             end in b, k, M or G (powers of 1024)\n"
        "  -x, --one-file-system      do not enter folders on another file system\n"
        "      --keep-newest N        in each folder, never list the N newest files\n"
        "                             (by the date of --kind) of those the filters keep\n"
        "\n"
        "Output:\n"
        "      --date-format FORMAT   locale (the default: the locale's short date and\n"
        "                             time) or iso (YYYY-MM-DD HH:MM:SS, local time)\n"
        "      --format FORMAT        rows (the default: path, TAB, date), csv or jsonl\n"
        "                             (path, size, the three dates in ISO 8601,\n"
        "                             device and inode; jsonl is what --trash-from reads)\n"
        "      --summary              one line per FOLDER with its number of files and\n"
        "                             their size, and a total, instead of the files\n"
        "  -0, --print0               print each path followed by a NUL and nothing else\n"
        "      --save FILE            write the paths to FILE, one a line with CR LF,\n"
        "                             instead of printing them\n"
        "      --stats                print counts and the time taken on standard error\n"
        "      --threads N            folder-reading threads (default: chosen for this\n"
        "                             machine)\n"
        "\n"
        "Trash:\n"
        "      --trash                move the files to the Trash without asking and\n"
        "                             print each path moved\n"
        "      --trash-from FILE      move the files of a list made with --format jsonl\n"
        "                             (- reads standard input), each only if it is\n"
        "                             still the file listed\n"
        "      --undo [ID]            put back the files of the last request not yet\n"
        "                             undone, or of request ID\n"
        "      --undo-list            list the Trash requests, the newest first\n"
        "\n"
        "Rules:\n"
        "      --rules [FILE]         run each line of FILE (default:\n"
        "                             ~/.config/chronopurge/rules) as the FOLDERs and\n"
        "                             options of one run, in order\n"
        "\n"
        "  -h, --help                 show this help and exit\n"
        "      --version              show the version and exit\n"
        "\n"
        "DATE is YYYY-MM-DD. AGE is a count and a unit: d (days), w (weeks), m (calendar\n"
        "months) or y (calendar years), e.g. 30d, 6m, 2y; a month before 31 March is\n"
        "the last day of February. GLOB and PATTERN know * ? [a-z] [!a-z], and \\\n"
        "before a character that stands for itself; in a PATTERN ** stands for any\n"
        "number of folders. Names are printed with control characters shown as\n"
        "visible signs (a TAB as U+2409) and each byte that is not UTF-8 as U+FFFD,\n"
        "unless -0 prints them as they are.\n"
        "\n")
        + QLatin1String(kPlatformNotes)
        + QStringLiteral(
        "Exit status:\n"
        "  0  all done\n"
        "  1  some folder could not be read (each is named on standard error), or\n"
        "     some file could not be moved, put back or saved\n"
        "  2  bad usage or bad input (an unknown option, a bad value, a missing folder,\n"
        "     a list or rule that cannot be read)\n"
        "\n"
        "Examples:\n"
        "  chronopurge-cli --older-than 90d ~/Downloads\n"
        "  chronopurge-cli --older-than 30d --trash ~/Downloads\n"
        "  chronopurge-cli --before 2020-01-01 -0 ~/Projects | xargs -0 ls -ld --\n"
        "  chronopurge-cli --older-than 1y --exclude .git --size +100M --summary ~\n"
        "  chronopurge-cli --older-than 1y --format jsonl ~ > list; (edit list)\n"
        "  chronopurge-cli --trash-from list\n"
        "  chronopurge-cli --undo-list; chronopurge-cli --undo\n"
        "\n"
        "Full documentation: man chronopurge-cli\n");
}

} // namespace cli
