// Stand-in for <aclapi.h> in the host build: its declarations are in windows.h.
#include <windows.h>
