// Icons of the files a page lists, kept for the life of the process in one
// image list per page: a page shows the same files on every fill, and
// extracting an icon reads its file. Each fill gives the list a copy, which
// the list owns.
#include "explorer/explorer.h"

#include <shellapi.h>

#include <string>
#include <unordered_map>

namespace {

struct KeptIcon {
    FILETIME written = {};
    int image = -1;   // -1: the file has no icon of that index
};

struct KeptIcons {
    HIMAGELIST images = nullptr;   // image 0 is icon 101, then each icon found
    int fallback = 0;              // icon 115
    std::unordered_map<std::string, KeptIcon> icons;
    KeptIcons() = default;
    KeptIcons(const KeptIcons&) = delete;
    KeptIcons& operator=(const KeptIcons&) = delete;
    ~KeptIcons()
    {
        if (images) ImageList_Destroy(images);
    }
};

// A full list of distinct files, and the new versions of some of them.
constexpr int kMaxKeptImages = 2 * kMaxItems;

KeptIcons& KeptOf(int pageId)
{
    static std::unordered_map<int, KeptIcons> pages;
    return pages[pageId];
}

}  // namespace

void BeginFileIcons(int pageId, HWND list)
{
    HIMAGELIST made = CreateRowImages(list);
    KeptIcons& kept = KeptOf(pageId);
    if (kept.images && ImageList_GetImageCount(kept.images) < kMaxKeptImages) return;
    if (kept.images) ImageList_Destroy(kept.images);
    kept.icons.clear();
    kept.images = made ? ImageList_Duplicate(made) : nullptr;
    kept.fallback = kept.images ? AddFileIcon(kept.images, "") : 0;
}

int FileIcon(int pageId, const char* path, int index, const FILETIME& written)
{
    KeptIcons& kept = KeptOf(pageId);
    if (!kept.images || !path || !path[0]) return -1;
    char key[MAX_PATH + 16];
    StrFormatA(key, "%d,", index);
    StrAppend(key, path);
    CharUpperA(key);
    auto found = kept.icons.find(key);
    if (found != kept.icons.end() && CompareFileTime(&found->second.written, &written) == 0)
        return found->second.image;
    KeptIcon icon;
    icon.written = written;
    HICON small = nullptr;
    if (ExtractIconExA(path, index, nullptr, &small, 1) > 0 && small) {
        UniqueIcon held(small);
        icon.image = ImageList_AddIcon(kept.images, held.get());
    }
    kept.icons[key] = icon;
    return icon.image;
}

int FallbackFileIcon(int pageId)
{
    return KeptOf(pageId).fallback;
}

void EndFileIcons(int pageId, HWND list)
{
    KeptIcons& kept = KeptOf(pageId);
    HIMAGELIST copy = kept.images ? ImageList_Duplicate(kept.images) : nullptr;
    if (!copy) return;
    HIMAGELIST previous = reinterpret_cast<HIMAGELIST>(
        SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(copy)));
    if (previous && previous != copy) ImageList_Destroy(previous);
}
