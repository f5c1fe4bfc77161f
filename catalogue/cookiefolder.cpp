// The cookie-folder chooser of the explorer's cookie page, in a file of its
// own: the common dialogs bring the print spooler and its libraries into a
// process, which the resident monitor has no use for.
#include "catalogue/catalogue.h"

#include <commdlg.h>

#include <cstring>

int ChooseCookieFolder(HWND owner, char* folder)
{
    char file[MAX_PATH] = "Path";
    char initial[MAX_PATH] = {};
    ReadRegText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", initial, MAX_PATH);
    char title[256] = {};
    LoadLocalizedString(IDS_CHOOSE_COOKIE_FOLDER, title);
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = "All Folder (*.*) \0*.*\0";
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = initial[0] ? initial : nullptr;
    dialog.lpstrTitle = title;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetOpenFileNameA(&dialog)) return 0;
    size_t length = strlen(file);
    if (length <= 4) return 0;
    // The folder is what precedes the file name, whatever name the user left
    // in place of the placeholder.
    size_t cut = dialog.nFileOffset > 0 && dialog.nFileOffset <= length ? dialog.nFileOffset
                                                                         : length - 4;
    file[cut] = '\0';
    StrCopy(folder, MAX_PATH, file);
    AddBackslash(folder);
    return 1;
}
