// Helpers of the explorer tests, which run in the explorer's own process:
// windows found by caption, list cells read with plain messages.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "explorer/explorer.h"
#include "resources/resource.h"
#include "tests/catalogue/startuptest.h"

namespace explorertest {

constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

inline HWND WaitWindow(const char* caption, int tries = 600)
{
    for (int i = 0; i < tries; ++i, Sleep(50))
        if (HWND h = FindWindowA("#32770", caption); h && IsWindowVisible(h)) return h;
    return nullptr;
}

inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

// Waits (up to 10 s) until a closed dialog's window is destroyed, which is
// when its modal loop has returned to the code that opened it.
inline void WaitGone(HWND dialog)
{
    for (int i = 0; i < 500 && IsWindow(dialog); ++i) Sleep(20);
}

// Posted, so that the calling thread stays free to answer the modal windows
// the command opens.
inline void Press(HWND page, int id) { PostMessageA(page, WM_COMMAND, id, 0); }

inline std::string Cell(HWND list, int row, int column)
{
    char text[512] = {};
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof(text);
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
}

inline int RowCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

inline void Select(HWND list, int row, bool alone = true)
{
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    if (alone) SendMessageA(list, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// Opens a page in a one-page sheet captioned `caption`; body acts on the
// page from a helper thread, and the sheet is closed afterwards.
inline void WithPage(int dialogId, const PageSpec& desc, const char* caption,
                     const std::function<void(HWND page)>& body)
{
    std::thread helper([&] {
        HWND sheet = WaitWindow(caption);
        HWND page = sheet ? FindWindowExA(sheet, nullptr, "#32770", nullptr) : nullptr;
        if (page) body(page);
        if (sheet) PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    PROPSHEETPAGEA page = {};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(dialogId);
    page.pfnDlgProc = PageProc;
    page.lParam = reinterpret_cast<LPARAM>(&desc);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
    header.pszCaption = caption;
    header.nPages = 1;
    header.ppsp = &page;
    PropertySheetA(&header);
    helper.join();
}

// The same with the page's list at hand, under a caption of its own.
inline void WithPage(const PageSpec& desc, const std::function<void(HWND page, HWND list)>& body)
{
    WithPage(desc.dialogId, desc, "VlPageTestSheet", [&](HWND page) { body(page, GetDlgItem(page, 1000)); });
}

// A click on a column header, as the list reports it to the page.
inline void ClickColumn(HWND page, HWND list, int column)
{
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list;
    click.hdr.idFrom = 1000;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageA(page, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&click));
}

// Activates the page again, as a change of tabs would.
inline void Activate(HWND page)
{
    NMHDR activate = {GetParent(page), 0, static_cast<UINT>(PSN_SETACTIVE)};
    SendMessageA(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&activate));
}

// Posts a command that asks, answers the box of `caption` with `button` and
// returns the box's text ("" when none came); answered once the page is
// idle again.
inline std::string PressAnswered(HWND page, int id, const char* caption, int button)
{
    Press(page, id);
    std::string text;
    if (HWND box = WaitWindow(caption, 100)) {
        char buffer[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
        if (!buffer[0]) GetDlgItemTextA(box, 1025, buffer, sizeof(buffer));
        text = buffer;
        Click(box, button);
        for (int i = 0; i < 40 && IsWindow(box); ++i) Sleep(50);
    }
    SendMessageA(page, WM_NULL, 0, 0);
    return text;
}

// The row whose cell in `column` reads `text`, or -1.
inline int RowWith(HWND list, int column, const std::string& text)
{
    for (int row = 0; row < RowCount(list); ++row)
        if (Cell(list, row, column) == text) return row;
    return -1;
}

// The message box a posted command opens: its text, after clicking `button`
// ("" when none came). Returns once the page has handled the answer.
inline std::string Answer(HWND page, const char* caption, int button)
{
    HWND box = WaitWindow(caption);
    if (!box) return "";
    char text[2048] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
    Click(box, button);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    SendMessageA(page, WM_NULL, 0, 0);
    return text;
}

// One page in a property sheet on a thread of its own: the test thread
// sends it commands and answers its questions from a helper thread.
struct PageHost {
    std::thread thread;
    HWND sheet = nullptr, page = nullptr, list = nullptr;

    PageHost(const PageSpec& desc, const char* caption)
    {
        thread = std::thread([&desc, caption] {
            PROPSHEETPAGEA record = {};
            record.dwSize = sizeof(record);
            record.hInstance = GetModuleHandleA(nullptr);
            record.pszTemplate = MAKEINTRESOURCEA(desc.dialogId);
            record.pfnDlgProc = PageProc;
            record.lParam = reinterpret_cast<LPARAM>(&desc);
            PROPSHEETHEADERA header = {};
            header.dwSize = sizeof(header);
            header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW;
            header.pszCaption = caption;
            header.nPages = 1;
            header.ppsp = &record;
            PropertySheetA(&header);
        });
        sheet = WaitWindow(caption);
        page = sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
        list = page ? GetDlgItem(page, IDC_LIST) : nullptr;
    }
    ~PageHost()
    {
        if (sheet) PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        thread.join();
    }
    // A command that asks nothing: true when it ended within 20 s.
    bool Command(int id) { return SendMessageTimeoutA(page, WM_COMMAND, id, 0, SMTO_NORMAL, 20000, nullptr) != 0; }
    // A command whose box of `caption` is answered with `button`; the box's
    // text, "" when none came.
    std::string Answered(int id, const char* caption, int button)
    {
        std::string text;
        std::thread answer([&] {
            char buffer[2048] = "";
            if (HWND box = WaitWindow(caption)) {
                GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
                Click(box, button);
            }
            text = buffer;
        });
        SendMessageA(page, WM_COMMAND, id, 0);
        answer.join();
        return text;
    }
    void ClickColumn(int column) { explorertest::ClickColumn(page, list, column); }
    int RowWith(int column, const std::string& text) { return explorertest::RowWith(list, column, text); }
};

}   // namespace explorertest
