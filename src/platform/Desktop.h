#pragma once

#include <QString>

namespace platform {

/** The desktop's own programs, started without waiting for them. */
class Desktop {
public:
    virtual ~Desktop() = default;
    /** Opens `folder` in the desktop's file browser; the outcome is not examined. */
    virtual void openFolder(const QString& folder) = 0;
};

/** Opens folders through QDesktopServices (xdg-open on Linux). */
class QtDesktop final : public Desktop {
public:
    void openFolder(const QString& folder) override;
};

} // namespace platform
