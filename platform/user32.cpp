// The stand-ins for the user32 calls: each finds its function on first use,
// loading user32 then, and passes its arguments on unchanged.
#define BRISVANE_USER32_STANDINS
#include "user32.h"

#define BRISVANE_USER32_INDEX(result, name, parameters, arguments) USER_##name,
enum { BRISVANE_USER32_FUNCTIONS(BRISVANE_USER32_INDEX) USER_FUNCTION_COUNT };

// The DLL's name, then one name per function in the order of the indices.
#define BRISVANE_USER32_NAME(result, name, parameters, arguments) #name "\0"
static const char USER_NAMES[] = "user32.dll\0" BRISVANE_USER32_FUNCTIONS(BRISVANE_USER32_NAME);

// The type that converts to any function's without a warning.
typedef void (*UserProc)();

static HMODULE user32;
static UserProc userFunctions[USER_FUNCTION_COUNT];

// A user32 that cannot be loaded ends the process: no window of ours can be
// shown without it.
static UserProc UserFunction(int index)
{
    if (userFunctions[index] == NULL) {
        const char *name = USER_NAMES;
        for (int i = -1; i < index; i++)
            name += lstrlenA(name) + 1;
        // A system DLL: found in System32 whatever the search path holds.
        if (user32 == NULL)
            user32 = LoadLibraryA(USER_NAMES);
        if (user32 != NULL)
            userFunctions[index] = (UserProc)GetProcAddress(user32, name);
        if (userFunctions[index] == NULL)
            ExitProcess(ERROR_DLL_INIT_FAILED);
    }
    return userFunctions[index];
}

// The arguments come with their parentheses.
// clang-format off
#define BRISVANE_USER32_STANDIN(result, name, parameters, arguments)                                           \
    result WINAPI Lazy##name parameters                                                                        \
    {                                                                                                          \
        return ((decltype(&::name))UserFunction(USER_##name)) arguments; /* NOLINT(bugprone-macro-parentheses) */ \
    }
// clang-format on
BRISVANE_USER32_FUNCTIONS(BRISVANE_USER32_STANDIN)
