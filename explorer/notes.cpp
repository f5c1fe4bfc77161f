// Notes a user keeps per program: plain text files named after the program
// file. An installation may ship notes beside the programs; the user's own
// go to the data folder.
#include "explorer/explorer.h"

#include <cstring>

namespace {

int IsFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return path[0] != '\0' && attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// "note_" + the file name without its four-character extension + ".txt".
// The path-to-name rule turns "=" into ":", which in a file name would open
// an alternate data stream of another file; such characters become "_".
int NoteFileName(const char* program, char (&out)[MAX_PATH])
{
    out[0] = '\0';
    char file[MAX_PATH];
    if (ResolveProgramFile(program, file) == 0) return 0;
    char colons[MAX_PATH];
    EqualsToColon(file, colons);
    char name[MAX_PATH];
    GetFileNamePart(colons, name);
    const size_t length = strlen(name);
    if (length <= 4) return 0;
    name[length - 4] = '\0';
    for (char* p = name; *p != '\0'; ++p)
        if (strchr(":*?\"<>|/", *p)) *p = '_';
    return StrFormatA(out, "note_%s.txt", name) == 0;
}

}  // namespace

int GetNotePath(const char* program, char* out)
{
    out[0] = '\0';
    char name[MAX_PATH];
    if (!NoteFileName(program, name)) return 0;
    char folder[MAX_PATH];
    char path[MAX_PATH];
    if (GetProgramFolder(folder) && StrFormatA(path, "%s\\%s", folder, name) == 0 && IsFile(path)) {
        StrCopy(out, MAX_PATH, path);
        return 1;
    }
    if (!GetDataFolder(folder) || StrFormatA(path, "%s\\%s", folder, name) != 0) return 0;
    StrCopy(out, MAX_PATH, path);
    return IsFile(path);
}

int NoteExists(const char* program)
{
    char path[MAX_PATH];
    return GetNotePath(program, path);
}
