// What the explorer says to the user: message boxes in the message language,
// always on top (the sheet's owner is an invisible window), and the message
// dialog for the texts too long or too grave for a box.
#include "explorer/explorer.h"
#include "resources/resource.h"

namespace {

constexpr int IDS_HELP_CAPTION = 31;
constexpr int IDC_MESSAGE_TEXT = 1025;
constexpr int kMessageLen = 2048;

void CentreOnScreen(HWND dialog)
{
    RECT rect = {};
    GetWindowRect(dialog, &rect);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2;
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK MessageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowTextA(dialog, GetAppCaption());
        char text[kMessageLen] = "";
        LoadLocalizedString(static_cast<int>(lParam), text);
        SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, text);
        CentreOnScreen(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

int ShowMessage(HWND owner, int stringId)
{
    char text[kMessageLen] = "";
    char caption[128] = "";
    LoadLocalizedString(stringId, text);
    LoadLocalizedString(IDS_HELP_CAPTION, caption);
    return MessageBoxExA(owner, text, caption, MB_ICONQUESTION | MB_TOPMOST,
                         static_cast<WORD>(MessageLanguageId()));
}

int AskUser(HWND owner, const char* text, UINT flags)
{
    return MessageBoxExA(owner, text ? text : "", GetAppCaption(), flags | MB_TOPMOST,
                         static_cast<WORD>(MessageLanguageId()));
}

int ShowMessageDialog(HWND owner, int stringId)
{
    const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MESSAGE),
                                           owner, MessageDialogProc, stringId);
    return static_cast<int>(result);
}
