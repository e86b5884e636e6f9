// Stand-in for <sddl.h> in the host build: its declarations are in windows.h.
#include <windows.h>
