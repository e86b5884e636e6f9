#include "text.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <string>

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

namespace host {
UINT AnsiCodePage();
void SetLastErrorCode(DWORD error);
}  // namespace host

// The upper halves of the two code pages, as Windows maps them (0x98 in 1251
// and the five unused bytes of 1252 map to the control character of the same number).
// clang-format off
static const char16_t CP1251_HIGH[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // А..я
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C,
    0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429,
    0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436,
    0x0437, 0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443,
    0x0444, 0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};
// clang-format on
// 1252 is Latin-1 from 0xA0 on.
static const char16_t CP1252_80_9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// UTF-8 to UTF-16 and back as Windows converts without the strict flags:
// a byte that starts no well-formed sequence, and a lone surrogate, each give
// U+FFFD ("MultiByteToWideChar", "WideCharToMultiByte", learn.microsoft.com).
static std::u16string FromUtf8(const char *text, int length)
{
    std::u16string out;
    for (int i = 0; i < length;) {
        unsigned char c = (unsigned char)text[i];
        int more = c >= 0xF5 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 ? 1 : 0;
        char32_t code = more == 3 ? c & 0x07 : more == 2 ? c & 0x0F : c & 0x1F;
        int n = 1;
        while (n <= more && i + n < length && ((unsigned char)text[i + n] & 0xC0) == 0x80)
            code = code << 6 | ((unsigned char)text[i + n++] & 0x3F);
        bool whole = n == more + 1 && (more < 2 || code >= (more == 2 ? 0x800u : 0x10000u))
                     && !(code >= 0xD800 && code < 0xE000) && code < 0x110000;
        if (c < 0x80)
            out += (char16_t)c;
        else if (!whole || more == 0)
            out += u'\uFFFD';
        else if (code >= 0x10000)
            out += { (char16_t)(0xD800 + ((code - 0x10000) >> 10)), (char16_t)(0xDC00 + (code & 0x3FF)) };
        else
            out += (char16_t)code;
        i += n;
    }
    return out;
}

static std::string ToUtf8(const char16_t *wide, int length)
{
    std::string out;
    for (int i = 0; i < length; i++) {
        char32_t code = wide[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < length && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (wide[++i] - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = 0xFFFD;
        if (code < 0x80)
            out += (char)code;
        else if (code < 0x800)
            out += { (char)(0xC0 | code >> 6), (char)(0x80 | (code & 0x3F)) };
        else if (code < 0x10000)
            out += { (char)(0xE0 | code >> 12), (char)(0x80 | (code >> 6 & 0x3F)), (char)(0x80 | (code & 0x3F)) };
        else
            out += { (char)(0xF0 | code >> 18), (char)(0x80 | (code >> 12 & 0x3F)), (char)(0x80 | (code >> 6 & 0x3F)),
                     (char)(0x80 | (code & 0x3F)) };
    }
    return out;
}

// A converted text into a buffer of size units, or its length for a size of 0.
template <typename Text> static int CopyOut(const Text &out, typename Text::value_type *buffer, int size)
{
    if (size != 0 && size < (int)out.size()) {
        host::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (size_t i = 0; size != 0 && i < out.size(); i++)
        buffer[i] = out[i];
    return (int)out.size();
}

// Like Windows: a length of -1 takes the NUL too, a size of 0 asks for the
// count, and a buffer too small fails with ERROR_INSUFFICIENT_BUFFER.
int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int length, WCHAR *wide, int size)
{
    if (codePage == CP_ACP)
        codePage = host::AnsiCodePage();
    if (length < 0)
        length = lstrlenA(text) + 1;
    if (codePage == CP_UTF8)
        return CopyOut(FromUtf8(text, length), wide, size);
    if (codePage != 1251 && codePage != 1252) {
        host::SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size != 0 && size < length) {
        host::SetLastErrorCode(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    for (int i = 0; size != 0 && i < length; i++) {
        unsigned char c = (unsigned char)text[i];
        wide[i] = c < 0x80           ? c
                  : codePage == 1251 ? CP1251_HIGH[c - 0x80]
                  : c < 0xA0         ? CP1252_80_9F[c - 0x80]
                                     : (char16_t)c;
    }
    return length;
}

// UTF-8 only.
int WINAPI WideCharToMultiByte(UINT codePage, DWORD, const WCHAR *wide, int length, LPSTR text, int size, LPCSTR,
                               BOOL *)
{
    if (codePage != CP_UTF8) {
        host::SetLastErrorCode(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (length < 0)
        length = (int)std::char_traits<char16_t>::length(wide) + 1;
    return CopyOut(ToUtf8(wide, length), text, size);
}
