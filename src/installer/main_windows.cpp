// chronopurge-path.exe: the setup program's and the uninstaller's helper for
// the PATH entry. It travels inside them and is never installed.
//
//   chronopurge-path.exe add|remove user|machine FOLDER
//
// Exit status: 0 the value changed, 1 nothing to change (the entry was there
// already, or was not there to take out), 2 bad usage or the value could not
// be read or written.

#include "installer/PathEntry.h"

#include <shellapi.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 4)
        return 2;
    const std::wstring action = arguments[1];
    const std::wstring scope = arguments[2];
    const std::wstring folder = arguments[3];
    LocalFree(arguments);
    if ((action != L"add" && action != L"remove") || (scope != L"user" && scope != L"machine") || folder.empty())
        return 2;

    const HKEY root = scope == L"user" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    const wchar_t* subKey
        = scope == L"user" ? L"Environment" : L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    const installer::PathChange change = action == L"add" ? installer::addToPath(root, subKey, folder)
                                                          : installer::removeFromPath(root, subKey, folder);
    switch (change) {
    case installer::PathChange::Changed:
        installer::announceEnvironmentChange();
        return 0;
    case installer::PathChange::Unchanged:
        return 1;
    case installer::PathChange::Failed:
        break;
    }
    return 2;
}
