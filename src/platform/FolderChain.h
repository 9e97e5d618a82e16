#pragma once
// Opening the folder that holds a listed file the way the scan reached it.
//
// The listed folder is opened as the user named it: a link there is followed,
// because the user chose it. Each folder below it is opened by its bare name
// relative to its parent's descriptor, without following a link and without a
// trailing slash, and checked with fstat, so a folder swapped for a link (or
// for anything else) since the scan is noticed instead of followed. The last
// listed folder and the last folder reached stay open, so the files of one
// folder cost one walk, and at most four descriptors are held at a time.

#include "platform/UniqueFd.h"

#include <QByteArray>

#include <memory>
#include <vector>

namespace platform {

class FolderChain {
public:
    /**
     * The open folder reached by `names` (folder names, top down) below
     * `listedFolder`; nullptr with `errnum` set when a step fails (ELOOP or
     * ENOTDIR when a link or something other than a folder stands where a
     * folder stood).
     */
    std::shared_ptr<const UniqueFd> open(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
                                         int& errnum);

private:
    QByteArray m_listedPath;
    std::shared_ptr<const UniqueFd> m_listed;
    std::vector<QByteArray> m_lastNames;
    std::shared_ptr<const UniqueFd> m_last;
};

} // namespace platform
