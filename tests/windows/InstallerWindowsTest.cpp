// The setup program's PATH helper: the install folder is added to a PATH
// value and taken out again, every other entry kept exactly, however long
// the value is.

#include "installer/PathEntry.h"

#include <QUuid>

#include <gtest/gtest.h>

using installer::pathWithFolder;
using installer::pathWithoutFolder;

namespace {

const std::wstring kFolder = L"C:\\Users\\Ann\\AppData\\Local\\Programs\\Chronopurge";

// A throwaway key below HKEY_CURRENT_USER, removed with what it holds.
class ScratchKey {
public:
    ScratchKey()
        : m_path(L"Software\\Chronopurge tests\\" + QUuid::createUuid().toString().toStdWString())
    {
        RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key, nullptr);
    }
    ~ScratchKey()
    {
        RegCloseKey(m_key);
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    }
    const wchar_t* path() const { return m_path.c_str(); }

    void set(DWORD type, const std::wstring& text)
    {
        RegSetValueExW(m_key, L"Path", 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       DWORD((text.size() + 1) * sizeof(wchar_t)));
    }
    /** The value's type and text; type 0 when there is none. */
    std::pair<DWORD, std::wstring> get() const
    {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(m_key, L"Path", nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {0, {}};
        std::wstring text(size / sizeof(wchar_t), L'\0');
        RegQueryValueExW(m_key, L"Path", nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size);
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return {type, text};
    }

private:
    std::wstring m_path;
    HKEY m_key = nullptr;
};

} // namespace

TEST(PathEntry, AddsTheFolderOnceAsAnEntryOfItsOwn)
{
    EXPECT_EQ(pathWithFolder(L"", kFolder), kFolder);
    EXPECT_EQ(pathWithFolder(L"C:\\Tools;D:\\Bin", kFolder), L"C:\\Tools;D:\\Bin;" + kFolder);
    EXPECT_EQ(pathWithFolder(L"C:\\Tools;", kFolder), L"C:\\Tools;" + kFolder);
    // Already there as the system would read it: in other letter case, with
    // a trailing "\", quoted, or through a variable.
    EXPECT_EQ(pathWithFolder(L"C:\\Tools;c:\\users\\ann\\appdata\\local\\programs\\CHRONOPURGE", kFolder), std::nullopt);
    EXPECT_EQ(pathWithFolder(kFolder + L"\\;C:\\Tools", kFolder), std::nullopt);
    EXPECT_EQ(pathWithFolder(L"\"" + kFolder + L"\"", kFolder), std::nullopt);
    SetEnvironmentVariableW(L"CHRONOPURGE_TEST_HOME", L"C:\\Users\\Ann");
    EXPECT_EQ(pathWithFolder(L"%CHRONOPURGE_TEST_HOME%\\AppData\\Local\\Programs\\Chronopurge", kFolder), std::nullopt);
    // A folder that only begins like it is another folder.
    EXPECT_EQ(pathWithFolder(kFolder + L"2;" + kFolder + L"\\bin", kFolder),
              kFolder + L"2;" + kFolder + L"\\bin;" + kFolder);
}

TEST(PathEntry, TakesOutEveryEntryNamingTheFolderAndNothingElse)
{
    EXPECT_EQ(pathWithoutFolder(L"C:\\Tools;" + kFolder + L";D:\\Bin", kFolder), L"C:\\Tools;D:\\Bin");
    EXPECT_EQ(pathWithoutFolder(kFolder, kFolder), L"");
    EXPECT_EQ(pathWithoutFolder(L"C:\\Tools;" + kFolder, kFolder), L"C:\\Tools");
    EXPECT_EQ(pathWithoutFolder(L"A;;" + kFolder + L"\\;B;\"" + kFolder + L"\"", kFolder), L"A;;B");
    EXPECT_EQ(pathWithoutFolder(L"C:\\Tools;" + kFolder + L"2;" + kFolder + L"\\bin", kFolder), std::nullopt);
    EXPECT_EQ(pathWithoutFolder(L"", kFolder), std::nullopt);
}

TEST(PathEntry, ChangesTheRegistryValueWholeAndKeepsItsType)
{
    ScratchKey key;
    // A value longer than the setup program's own strings (1024 characters).
    std::wstring longPath;
    for (int i = 0; longPath.size() < 5000; ++i)
        longPath += L"C:\\Some Tool " + std::to_wstring(i) + L"\\bin;";
    longPath += L"%SystemRoot%\\system32";
    key.set(REG_SZ, longPath);

    EXPECT_EQ(installer::addToPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Changed);
    EXPECT_EQ(key.get(), std::make_pair(DWORD(REG_SZ), longPath + L";" + kFolder));
    EXPECT_EQ(installer::addToPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Unchanged);
    EXPECT_EQ(installer::removeFromPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Changed);
    EXPECT_EQ(key.get(), std::make_pair(DWORD(REG_SZ), longPath));
    EXPECT_EQ(installer::removeFromPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Unchanged);
}

TEST(PathEntry, AMissingValueIsMadeExpandableAndAnEmptiedOneGoes)
{
    ScratchKey key;
    EXPECT_EQ(installer::addToPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Changed);
    EXPECT_EQ(key.get(), std::make_pair(DWORD(REG_EXPAND_SZ), kFolder));
    EXPECT_EQ(installer::removeFromPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Changed);
    EXPECT_EQ(key.get().first, DWORD(0));

    // A value that is not text is left alone.
    const DWORD number = 7;
    HKEY raw = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, key.path(), 0, KEY_SET_VALUE, &raw);
    RegSetValueExW(raw, L"Path", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(raw);
    EXPECT_EQ(installer::addToPath(HKEY_CURRENT_USER, key.path(), kFolder), installer::PathChange::Failed);
    EXPECT_EQ(key.get().first, DWORD(REG_DWORD));
}
