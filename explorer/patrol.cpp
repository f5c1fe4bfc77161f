// STUB (replaced by its owner): The patrol-time dialog behind every Monitor image.
#include "explorer/explorer.h"

int ShowPatrolDialog(HWND, int) { return -1; }
void StorePatrolMinutes(int, int) {}
int PatrolBitmap(int) { return 154; }
