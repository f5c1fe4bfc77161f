#include "foundation/foundation.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Item {
    char title[kTitleLen];
    char path[kPathLen];
    char entryName[kEntryLen];
    int32_t typeCode;
    int32_t flag;
    char detail[kDetailLen];
};

// Records are allocated one by one, so an index stays valid until the list is
// cleared and the table never moves.
struct ItemList {
    Item* items[kMaxItems] = {};
    int count = 0;
};

ItemList g_list;
// The MaxCookie option for the list being filled; -1 until its first cookie.
int g_maxCookie = -1;

constexpr int kCookieType = 500;

const Item* ItemAt(int i)
{
    if (i < 0 || i >= g_list.count) return nullptr;
    return g_list.items[i];
}

int CopyField(const char* field, char* out, size_t capacity)
{
    if (!out) return 0;
    StrCopy(out, capacity, field);
    return static_cast<int>(strlen(out));
}

}  // namespace

int ListedPath(const char* path, char* out)
{
    char plainPath[kPathLen];
    RemoveQuotes(path ? path : "", plainPath);
    if (strlen(plainPath) < 4)
        StrCopy(out, kPathLen, plainPath);
    else
        GetLongPath(out, plainPath);
    return static_cast<int>(strlen(out));
}

int SameListedPath(const char* a, const char* b)
{
    if (lstrcmpiA(a, b) == 0) return 1;
    char la[kPathLen];
    char lb[kPathLen];
    ListedPath(a, la);
    ListedPath(b, lb);
    return lstrcmpiA(la, lb) == 0 ? 1 : 0;
}

int AddItem(const char* title, const char* path, const char* entryName, const char* detail,
            int typeCode, int flag)
{
    if (g_list.count >= kMaxItems) return 0;
    if (!title) title = "";
    if (!path) path = "";
    if (!entryName) entryName = "";
    if (!detail) detail = "";
    // One option read per list: a cookie folder adds thousands of entries.
    if (typeCode == kCookieType) {
        if (g_maxCookie < 0 || g_list.count == 0) g_maxCookie = ReadOptionOrDefault("MaxCookie");
        if (g_list.count >= g_maxCookie) return 0;
    }

    Item* item = static_cast<Item*>(calloc(1, sizeof(Item)));
    if (!item) return 0;

    StrCopy(item->detail, detail);

    const bool shortPath = ListedPath(path, item->path) < 4;

    if (title[0] == '\0')
        GetFileNamePart(item->path, item->title);
    else if (ContainsNoCase(title, "Velmora"))
        StrCopy(item->title, GetAppCaption());
    else
        StrCopy(item->title, title);

    if (shortPath)
        StrCopy(item->entryName, entryName);
    else
        GetLongPath(item->entryName, entryName);

    item->typeCode = typeCode;
    item->flag = flag;
    g_list.items[g_list.count++] = item;
    return 1;
}

int GetItemTitle(int i, char* out)
{
    const Item* item = ItemAt(i);
    if (!item) return out ? (out[0] = '\0', 0) : 0;
    return CopyField(item->title, out, kTitleLen);
}

int GetItemPath(int i, char* out)
{
    const Item* item = ItemAt(i);
    if (!item) return out ? (out[0] = '\0', 0) : 0;
    return CopyField(item->path, out, kPathLen);
}

int GetItemEntryName(int i, char* out)
{
    const Item* item = ItemAt(i);
    if (!item) return out ? (out[0] = '\0', 0) : 0;
    return CopyField(item->entryName, out, kEntryLen);
}

int GetItemDetail(int i, char* out, int capacity)
{
    if (capacity < 0) return 0;
    const Item* item = ItemAt(i);
    if (!item) {
        if (out && capacity > 0) out[0] = '\0';
        return 0;
    }
    if (out && capacity > 0) StrCopy(out, static_cast<size_t>(capacity), item->detail);
    return static_cast<int>(strlen(item->detail));
}

int GetItemType(int i)
{
    const Item* item = ItemAt(i);
    return item ? item->typeCode : 0;
}

int GetItemFlag(int i)
{
    const Item* item = ItemAt(i);
    return item ? item->flag : 0;
}

void ClearItems()
{
    for (int i = 0; i < g_list.count; ++i) {
        free(g_list.items[i]);
        g_list.items[i] = nullptr;
    }
    g_list.count = 0;
    g_maxCookie = -1;
}

int ItemCount()
{
    return g_list.count;
}
