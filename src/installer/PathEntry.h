#pragma once
// The install folder as an entry of a PATH value in the registry, so that
// chronopurge-cli.exe can be typed in any new terminal: added by the setup
// program, taken out again by the uninstaller, with every other entry left
// exactly as it was. The value is read and written whole, whatever its
// length (the setup program's own strings stop at 1024 characters, and a
// PATH cut short there would lose the user's other folders).

#include <optional>
#include <string>

#include <windows.h>

namespace installer {

/**
 * True when the PATH entry `entry` names `folder`: letter case aside, one
 * trailing "\" aside, surrounding quotes and spaces aside, and with
 * %VARIABLES% expanded as the system would.
 */
bool entryNamesFolder(const std::wstring& entry, const std::wstring& folder);

/** `path` with `folder` as a last entry of its own, or std::nullopt when an entry names it already. */
std::optional<std::wstring> pathWithFolder(const std::wstring& path, const std::wstring& folder);

/** `path` without the entries that name `folder`, the others as they were; std::nullopt when none does. */
std::optional<std::wstring> pathWithoutFolder(const std::wstring& path, const std::wstring& folder);

enum class PathChange {
    Changed,
    /** Already there, or nothing to take out. */
    Unchanged,
    Failed,
};

/**
 * Adds `folder` to the "Path" value of the key `subKey` of `root`
 * (HKEY_CURRENT_USER "Environment" for the user, the Session Manager's
 * "Environment" for every user), keeping the value's type (REG_EXPAND_SZ
 * when it is new).
 */
PathChange addToPath(HKEY root, const wchar_t* subKey, const std::wstring& folder);

/** Takes every entry naming `folder` out of that value; an emptied value is deleted. */
PathChange removeFromPath(HKEY root, const wchar_t* subKey, const std::wstring& folder);

/** Tells running programs (Explorer first) that the environment changed, so new terminals see it. */
void announceEnvironmentChange();

} // namespace installer
