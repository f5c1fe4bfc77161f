// STUB (replaced by its owner): Notes a user keeps per program.
#include "explorer/explorer.h"

int GetNotePath(const char*, char* out) { out[0] = '\0'; return 0; }
int NoteExists(const char*) { return 0; }
