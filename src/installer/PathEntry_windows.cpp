#include "installer/PathEntry.h"

#include <vector>

namespace installer {

namespace {

std::vector<std::wstring> entriesOf(const std::wstring& path)
{
    std::vector<std::wstring> entries;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(L';', start);
        entries.push_back(path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return entries;
        start = end + 1;
    }
}

std::wstring joined(const std::vector<std::wstring>& entries)
{
    std::wstring path;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0)
            path += L';';
        path += entries[i];
    }
    return path;
}

std::wstring expanded(const std::wstring& text)
{
    if (text.find(L'%') == std::wstring::npos)
        return text;
    const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0)
        return text;
    std::wstring result(needed, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), result.data(), needed);
    if (written == 0 || written > needed)
        return text;
    result.resize(written - 1);
    return result;
}

/** The folder as compared: no surrounding spaces or quotes, no trailing "\" unless it is a drive's root. */
std::wstring comparable(std::wstring text)
{
    const auto isBlank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!text.empty() && isBlank(text.back()))
        text.pop_back();
    size_t first = 0;
    while (first < text.size() && isBlank(text[first]))
        ++first;
    text.erase(0, first);
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = text.substr(1, text.size() - 2);
    while (text.size() > 3 && (text.back() == L'\\' || text.back() == L'/'))
        text.pop_back();
    return text;
}

struct PathValue {
    std::wstring text;
    DWORD type = REG_EXPAND_SZ;
    bool exists = false;
};

/** The "Path" value of the open key, read whole; false when it cannot be read (or is not text). */
bool readPath(HKEY key, PathValue& value)
{
    std::vector<BYTE> data(4096);
    for (;;) {
        DWORD type = 0;
        DWORD size = DWORD(data.size());
        const LSTATUS status = RegQueryValueExW(key, L"Path", nullptr, &type, data.data(), &size);
        if (status == ERROR_FILE_NOT_FOUND) {
            value = {};
            return true;
        }
        if (status == ERROR_MORE_DATA) {
            data.resize(size_t(size) + sizeof(wchar_t));
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return false;
        // Stored text need not end in a NUL, and may hold one before its end.
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        if (const size_t nul = text.find(L'\0'); nul != std::wstring::npos)
            text.resize(nul);
        value = {std::move(text), type, true};
        return true;
    }
}

bool writePath(HKEY key, const PathValue& old, const std::wstring& text)
{
    if (text.empty() && old.exists)
        return RegDeleteValueW(key, L"Path") == ERROR_SUCCESS;
    return RegSetValueExW(key, L"Path", 0, old.exists ? old.type : REG_EXPAND_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), DWORD((text.size() + 1) * sizeof(wchar_t)))
        == ERROR_SUCCESS;
}

template <typename Change>
PathChange changePath(HKEY root, const wchar_t* subKey, Change change)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return PathChange::Failed;
    PathValue value;
    PathChange result = PathChange::Failed;
    if (readPath(key, value)) {
        if (const std::optional<std::wstring> changed = change(value.text))
            result = writePath(key, value, *changed) ? PathChange::Changed : PathChange::Failed;
        else
            result = PathChange::Unchanged;
    }
    RegCloseKey(key);
    return result;
}

} // namespace

bool entryNamesFolder(const std::wstring& entry, const std::wstring& folder)
{
    const std::wstring left = comparable(expanded(comparable(entry)));
    const std::wstring right = comparable(folder);
    return !left.empty() && !right.empty()
        && CompareStringOrdinal(left.c_str(), int(left.size()), right.c_str(), int(right.size()), TRUE) == CSTR_EQUAL;
}

std::optional<std::wstring> pathWithFolder(const std::wstring& path, const std::wstring& folder)
{
    for (const std::wstring& entry : entriesOf(path)) {
        if (entryNamesFolder(entry, folder))
            return std::nullopt;
    }
    if (path.empty())
        return folder;
    return path.back() == L';' ? path + folder : path + L';' + folder;
}

std::optional<std::wstring> pathWithoutFolder(const std::wstring& path, const std::wstring& folder)
{
    std::vector<std::wstring> kept;
    bool dropped = false;
    for (std::wstring& entry : entriesOf(path)) {
        if (entryNamesFolder(entry, folder))
            dropped = true;
        else
            kept.push_back(std::move(entry));
    }
    if (!dropped)
        return std::nullopt;
    return joined(kept);
}

PathChange addToPath(HKEY root, const wchar_t* subKey, const std::wstring& folder)
{
    return changePath(root, subKey, [&](const std::wstring& path) { return pathWithFolder(path, folder); });
}

PathChange removeFromPath(HKEY root, const wchar_t* subKey, const std::wstring& folder)
{
    return changePath(root, subKey, [&](const std::wstring& path) { return pathWithoutFolder(path, folder); });
}

void announceEnvironmentChange()
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                        SMTO_ABORTIFHUNG, 5000, &result);
}

} // namespace installer
