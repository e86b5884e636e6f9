#include "key_path.h"

#include <windows.h>

int JoinKeyPath(char *path, int size, const char *first, const char *second, const char *third)
{
    const char *parts[3] = { first, second, third };
    int length = 0;

    if (size <= 0)
        return 0;
    for (const char *part : parts) {
        int partLength = lstrlenA(part);
        if (partLength >= size - length) {
            path[0] = '\0';
            return 0;
        }
        for (int i = 0; i < partLength; i++)
            path[length + i] = part[i];
        length += partLength;
    }
    path[length] = '\0';
    return 1;
}

int IsKeyName(const char *name)
{
    int length = 0;

    // An empty name would make RegDeleteKeyA delete the parent key itself, and
    // a backslash would reach into other keys; neither is a printer's name.
    for (; name[length] != '\0'; length++) {
        if (name[length] == '\\' || length >= KEY_NAME_MAX)
            return 0;
    }
    return length > 0;
}
