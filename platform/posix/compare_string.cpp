// Placeholder until the linguistic comparison lands.
#include "kernel32.h"
extern "C" int CompareStringA(LCID, DWORD, PCNZCH, int, PCNZCH, int) { return 0; }
