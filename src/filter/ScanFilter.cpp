#include "filter/ScanFilter.h"

#include "folders/FolderPath.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>

namespace {

// --exclude and --name compare names as the file system does: on Windows
// without letter case, as --iname does everywhere.
constexpr LetterCase kNameCase = kPathCase == Qt::CaseInsensitive ? LetterCase::Ignored : LetterCase::Sensitive;

// The walk joins a relative path's names with the platform's separator ("\"
// on Windows); patterns join them with "/".
constexpr char kWalkSeparator = char(kPathSeparator.unicode());

/** `relative` with "/" between its names: itself where the walk uses "/", else a copy in `buffer`. */
QByteArrayView withSlashes(QByteArrayView relative, std::string& buffer)
{
    if constexpr (kWalkSeparator == '/') {
        return relative;
    } else {
        buffer.assign(relative.data(), size_t(relative.size()));
        std::replace(buffer.begin(), buffer.end(), kWalkSeparator, '/');
        return QByteArrayView(buffer.data(), qsizetype(buffer.size()));
    }
}

} // namespace

std::optional<SizeBound> parseSizeBound(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([+-])(\\d{1,19})([bkMG]?)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 count = match.captured(2).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    int shift = 0;
    if (const QString unit = match.captured(3); !unit.isEmpty())
        shift = unit == QLatin1String("k") ? 10 : unit == QLatin1String("M") ? 20 : unit == QLatin1String("G") ? 30 : 0;
    if (count > (std::numeric_limits<qint64>::max() >> shift))
        return std::nullopt;
    const SizeBound::Side side = match.captured(1) == QLatin1String("+") ? SizeBound::Side::AtLeast : SizeBound::Side::AtMost;
    return SizeBound{side, count << shift};
}

std::variant<ScanFilter, QString> ScanFilter::make(const FilterChoices& choices)
{
    ScanFilter filter;
    QString error;
    const auto refused = [&](const char* option, const QString& pattern) {
        return QStringLiteral("%1: '%2' is not a usable pattern: %3").arg(QLatin1String(option), pattern, error);
    };
    for (const QString& given : choices.excludes) {
        Exclusion exclusion;
        QString pattern = given;
        // "name/" names folders only; a leading "/" only says what a "/" in
        // the pattern says anyway: the path from the listed folder.
        if (pattern.size() > 1 && pattern.endsWith(QLatin1Char('/'))) {
            exclusion.foldersOnly = true;
            pattern.chop(1);
        }
        const bool anchored = pattern.startsWith(QLatin1Char('/'));
        if (anchored)
            pattern.remove(0, 1);
        if (anchored || pattern.contains(QLatin1Char('/'))) {
            exclusion.path = PathPattern::compile(pattern, kNameCase, error);
            if (!exclusion.path)
                return refused("--exclude", given);
            filter.m_hasPathExclusions = true;
        } else {
            exclusion.name = NamePattern::compile(pattern, kNameCase, error);
            if (!exclusion.name)
                return refused("--exclude", given);
        }
        filter.m_exclusions.push_back(std::move(exclusion));
    }
    const struct {
        const QStringList& patterns;
        LetterCase letterCase;
        const char* option;
    } nameOptions[] = {{choices.names, kNameCase, "--name"},
                       {choices.caseIgnoredNames, LetterCase::Ignored, "--iname"}};
    for (const auto& [patterns, letterCase, option] : nameOptions) {
        for (const QString& pattern : patterns) {
            if (pattern.contains(QLatin1Char('/'))) {
                error = QStringLiteral("a name holds no \"/\" (--exclude takes paths)");
                return refused(option, pattern);
            }
            std::optional<NamePattern> name = NamePattern::compile(pattern, letterCase, error);
            if (!name)
                return refused(option, pattern);
            filter.m_names.push_back(std::move(*name));
        }
    }
    filter.m_smallest = choices.smallest;
    filter.m_largest = choices.largest;
    filter.m_oneFileSystem = choices.oneFileSystem;
    filter.m_keepNewest = choices.keepNewest;
    filter.m_filtersFiles = !filter.m_exclusions.empty() || !filter.m_names.empty() || filter.m_smallest
        || filter.m_largest || filter.m_keepNewest > 0;
    return filter;
}

bool ScanFilter::excluded(QByteArrayView relativePath, QByteArrayView name, bool folder) const
{
    for (const Exclusion& exclusion : m_exclusions) {
        if (exclusion.foldersOnly && !folder)
            continue;
        if (exclusion.name ? exclusion.name->matches(name) : exclusion.path->matches(relativePath))
            return true;
    }
    return false;
}

bool ScanFilter::entersFolder(QByteArrayView walkedPath) const
{
    if (m_exclusions.empty())
        return true;
    thread_local std::string buffer;
    const QByteArrayView relativePath = withSlashes(walkedPath, buffer);
    const qsizetype slash = relativePath.lastIndexOf('/');
    return !excluded(relativePath, relativePath.sliced(slash + 1), true);
}

bool ScanFilter::passes(QByteArrayView relativeFolder, QByteArrayView name, qint64 size) const
{
    if ((m_smallest && size < *m_smallest) || (m_largest && size > *m_largest))
        return false;
    if (!m_names.empty()
        && std::none_of(m_names.begin(), m_names.end(), [&](const NamePattern& pattern) { return pattern.matches(name); }))
        return false;
    if (m_exclusions.empty())
        return true;
    if (!m_hasPathExclusions || relativeFolder.isEmpty())
        return !excluded(name, name, false);
    thread_local std::string path;
    const QByteArrayView folder = withSlashes(relativeFolder, path);
    if (folder.data() != path.data())
        path.assign(folder.data(), size_t(folder.size()));
    path += '/';
    path.append(name.data(), size_t(name.size()));
    return !excluded(QByteArrayView(path.data(), qsizetype(path.size())), name, false);
}

void ScanFilter::keepFiles(QByteArrayView relativeFolder, FolderListing& listing) const
{
    if (!m_filtersFiles)
        return;
    std::vector<ListedFile>& files = listing.files;
    size_t kept = 0;
    for (const ListedFile& file : files) {
        if (passes(relativeFolder, QByteArrayView(listing.nameData(file.name()), file.nameLength), file.size))
            files[kept++] = file;
    }
    files.resize(kept);
    if (m_keepNewest > 0)
        dropNewest(listing);
}

void ScanFilter::dropNewest(FolderListing& listing) const
{
    std::vector<ListedFile>& files = listing.files;
    if (qint64(files.size()) <= m_keepNewest) {
        files.clear();
        return;
    }
    // Newer: a later date, or the same date (to the second) and a name later
    // in byte order, so that "backup-10" is kept before "backup-09".
    const auto newer = [&](size_t a, size_t b) {
        const ListedFile& first = files[a];
        const ListedFile& second = files[b];
        if (first.localSeconds != second.localSeconds)
            return first.localSeconds > second.localSeconds;
        const int order = std::memcmp(listing.nameData(first.name()), listing.nameData(second.name()),
                                      std::min(first.nameLength, second.nameLength));
        return order != 0 ? order > 0 : first.nameLength > second.nameLength;
    };
    std::vector<size_t> order(files.size());
    std::iota(order.begin(), order.end(), size_t(0));
    const auto newest = order.begin() + m_keepNewest;
    std::nth_element(order.begin(), newest, order.end(), newer);
    std::vector<bool> keptBack(files.size(), false);
    for (auto i = order.begin(); i != newest; ++i)
        keptBack[*i] = true;
    size_t kept = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!keptBack[i])
            files[kept++] = files[i];
    }
    files.resize(kept);
}
