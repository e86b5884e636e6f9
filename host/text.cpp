#include "text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace host {

unsigned char FoldCase(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return (unsigned char)(c + ('a' - 'A'));
    if (c >= 0xC0 && c <= 0xDF)  // А..Я
        return (unsigned char)(c + 0x20);
    if (c == 0xA8)  // Ё
        return 0xB8;
    return c;
}

int CompareNoCase(const std::string &a, const std::string &b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; i++) {
        unsigned char x = FoldCase((unsigned char)a[i]), y = FoldCase((unsigned char)b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace host

LPSTR WINAPI lstrcpyA(LPSTR destination, LPCSTR source)
{
    size_t i = 0;
    do {
        destination[i] = source[i];
    } while (source[i++] != '\0');
    return destination;
}

LPSTR WINAPI lstrcatA(LPSTR destination, LPCSTR source)
{
    lstrcpyA(destination + lstrlenA(destination), source);
    return destination;
}

int WINAPI lstrlenA(LPCSTR text)
{
    int length = 0;
    if (text == nullptr)
        return 0;
    while (text[length] != '\0')
        length++;
    return length;
}

int WINAPI lstrcmpiA(LPCSTR first, LPCSTR second)
{
    return host::CompareNoCase(first ? first : "", second ? second : "");
}

int wsprintfA(LPSTR buffer, LPCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, 1024, format, args);
    va_end(args);
    return length < 1024 ? length : 1023;
}
