// Bounded composition of registry paths and checks on key names.
#ifndef BRISVANE_KEY_PATH_H
#define BRISVANE_KEY_PATH_H

// Longest key name the registry allows, without its NUL.
enum { KEY_NAME_MAX = 255 };

// Writes first + second + third into path (size bytes with the NUL).
// Returns 0 and leaves path empty when the whole does not fit.
int JoinKeyPath(char *path, int size, const char *first, const char *second, const char *third);

// A printer name is usable as one key name: not empty, no separator, not too long.
int IsKeyName(const char *name);

#endif
