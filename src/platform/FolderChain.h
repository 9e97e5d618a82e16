#pragma once
// Opening the folder that holds a listed file the way the scan reached it.
//
// The listed folder is opened as the user named it: a link there is followed,
// because the user chose it. Each folder below it is opened by its bare name
// relative to its parent's descriptor, without following a link and without a
// trailing slash, and checked with fstat, so a folder swapped for a link (or
// for anything else) since the scan is noticed instead of followed.
//
// The folders opened last stay open (kHeldFolders of them, listed folders
// included; the one used longest ago is let go first), so the files of one
// folder cost one walk. A walk holds two more while it goes down, so the
// chain never holds more than kHeldFolders + 2 descriptors, plus the one a
// caller may still keep after it was let go.

#include "platform/UniqueFd.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace platform {

class FolderChain {
public:
    /** How many opened folders are kept open for the next files. */
    static constexpr size_t kHeldFolders = 4;

    /**
     * The open folder reached by `names` (folder names, top down) below
     * `listedFolder`; nullptr with `errnum` set when a step fails (ELOOP or
     * ENOTDIR when a link or something other than a folder stands where a
     * folder stood).
     */
    std::shared_ptr<const UniqueFd> open(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
                                         int& errnum);

private:
    struct Held {
        QByteArray listedFolder;
        std::vector<QByteArray> names;
        std::shared_ptr<const UniqueFd> folder;
    };

    std::shared_ptr<const UniqueFd> held(const QByteArray& listedFolder, const std::vector<QByteArray>& names);
    void hold(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
              std::shared_ptr<const UniqueFd> folder);

    /** The folders kept open, the one used last at the end. */
    std::vector<Held> m_held;
};

} // namespace platform
