// Fonts and bitmaps every page paints with: made once after the main window,
// so that a page switch never creates GDI objects, and released at exit.
#include "explorer/explorer.h"
#include "resources/resource.h"

#include <iterator>

namespace {

struct FontRecipe {
    const char* face;
    int height;   // character height (negative in the LOGFONT)
    int weight;
    BOOL underline;
    BYTE pitchAndFamily;
};
constexpr FontRecipe kFontRecipes[] = {
    {"Verdana", 18, 600, FALSE, 32},
    {"Arial", 18, 500, FALSE, 32},
    {"Arial", 18, 500, TRUE, 32},
    {"MS Sans Serif", 14, 600, FALSE, 32},
    {"MS Sans Serif", 10, 600, FALSE, 32},
    {"Arial", 14, 400, FALSE, 32},
    {"MS Sans Serif", 12, 500, FALSE, 32},
    {"MS Shell Dlg", 14, 700, FALSE, 0},
    {"MS Shell Dlg", 14, 500, FALSE, 0},
    {"Arial", 14, 500, FALSE, 32},   // the note font; face and size are options
};
static_assert(std::size(kFontRecipes) == kFontCount);

constexpr int kBitmapIds[] = {IDB_HELP,           IDB_HELP_PRESSED, IDB_HELP_HOVER,
                              IDB_MONITOR_OFF,    IDB_MONITOR_PRESSED, IDB_MONITOR_ON,
                              IDB_STATUS_1,       IDB_STATUS_2,     IDB_STATUS_3,
                              IDB_MONITOR_REALTIME};

HFONT g_fonts[kFontCount] = {};
HBITMAP g_bitmaps[std::size(kBitmapIds)] = {};

HFONT MakeFont(const FontRecipe& recipe, const char* face, int height)
{
    LOGFONTA font = {};
    font.lfHeight = -height;
    font.lfWeight = recipe.weight;
    font.lfUnderline = static_cast<BYTE>(recipe.underline);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfPitchAndFamily = recipe.pitchAndFamily;
    StrCopy(font.lfFaceName, sizeof(font.lfFaceName), face);
    return CreateFontIndirectA(&font);
}

}  // namespace

void CreateSharedGdi()
{
    DeleteSharedGdi();
    for (int i = 0; i < kFontCount; ++i) {
        const FontRecipe& recipe = kFontRecipes[i];
        if (i != kFontNote) {
            g_fonts[i] = MakeFont(recipe, recipe.face, recipe.height);
            continue;
        }
        char face[LF_FACESIZE] = "";
        if (ReadRegText(HKEY_CURRENT_USER, kOptionsKey, "NoteFont", face) <= 0)
            StrCopy(face, recipe.face);
        int size = ReadOption("NoteSize", recipe.height);
        // A damaged size must not make an unreadable or giant note.
        if (size < 6 || size > 72) size = recipe.height;
        g_fonts[i] = MakeFont(recipe, face, size);
    }
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    for (size_t i = 0; i < std::size(kBitmapIds); ++i)
        g_bitmaps[i] = LoadBitmapA(instance, MAKEINTRESOURCEA(kBitmapIds[i]));
}

void DeleteSharedGdi()
{
    for (HFONT& font : g_fonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
    for (HBITMAP& bitmap : g_bitmaps) {
        if (bitmap) DeleteObject(bitmap);
        bitmap = nullptr;
    }
}

HFONT GetSharedFont(ExplorerFont font)
{
    return font >= 0 && font < kFontCount ? g_fonts[font] : nullptr;
}

HBITMAP GetSharedBitmap(int id)
{
    for (size_t i = 0; i < std::size(kBitmapIds); ++i)
        if (kBitmapIds[i] == id) return g_bitmaps[i];
    return nullptr;
}
