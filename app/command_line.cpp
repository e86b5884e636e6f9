// The switches of an unattended run. Words are split by the C runtime's
// rules, which deployment tools quote for: blanks separate words, "..." keeps
// blanks, "" inside quotes is a quote, 2n backslashes before a quote stand
// for n, and 2n+1 for n and a literal quote.
#include "command_line.h"

#include <windows.h>

enum { WORD_END, WORD_READ, WORD_BAD };

enum { SWITCH_OFF, SWITCH_ON, SWITCH_PRINTER, SWITCH_RESTART, SWITCH_LOG, SWITCH_QUESTION, SWITCH_HELP };

static const char *const SwitchNames[] = { "off", "on", "printer", "restart", "log", "?", "help" };

struct Word {
    char *text;
    int size;  // bytes, the NUL included
    int length;
    int fits;
};

static int IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

static void Put(Word *word, char c)
{
    if (word->length < word->size - 1)
        word->text[word->length++] = c;
    else
        word->fits = 0;
}

// Copies the next word into text (size bytes with its NUL) and moves *at past
// it. A word that does not fit, or a quote left open, is not understood.
static int NextWord(const char **at, char *text, int size)
{
    Word word = { text, size, 0, 1 };
    const char *p = *at;
    int quoted = 0;

    while (IsBlank(*p))
        p++;
    if (*p == '\0') {
        *at = p;
        return WORD_END;
    }
    for (;;) {
        int backslashes = 0;

        while (*p == '\\') {
            backslashes++;
            p++;
        }
        if (*p == '"') {
            // Before a quote each pair is one backslash, and an odd one makes the quote a letter.
            for (; backslashes >= 2; backslashes -= 2)
                Put(&word, '\\');
            if (backslashes != 0 || (quoted && p[1] == '"')) {
                Put(&word, '"');
                p += backslashes != 0 ? 1 : 2;
            } else {
                quoted = !quoted;
                p++;
            }
            continue;
        }
        for (; backslashes > 0; backslashes--)
            Put(&word, '\\');
        if (*p == '\0' || (!quoted && IsBlank(*p)))
            break;
        Put(&word, *p++);
    }
    *at = p;
    text[word.length] = '\0';
    return word.fits && !quoted ? WORD_READ : WORD_BAD;
}

// The switch a word names, or -1.
static int SwitchOf(const char *word)
{
    if (word[0] != '/' && word[0] != '-')
        return -1;
    for (int i = 0; i < (int)(sizeof SwitchNames / sizeof SwitchNames[0]); i++) {
        if (lstrcmpiA(word + 1, SwitchNames[i]) == 0)
            return i;
    }
    return -1;
}

// Reads the words; returns the set of switches given, or -1 when a word is
// not understood. The value of /printer or /log must follow it.
static int ReadSwitches(const char *arguments, RunOptions *options)
{
    // Any switch or value that fits one of the buffers below fits here.
    char word[(int)LOG_PATH_SIZE > (int)PRINTER_NAME_SIZE ? (int)LOG_PATH_SIZE : (int)PRINTER_NAME_SIZE];
    int seen = 0;
    int read;

    while ((read = NextWord(&arguments, word, (int)sizeof word)) == WORD_READ) {
        int which = SwitchOf(word);
        if (which < 0 || (seen & (1 << which)) != 0)
            return -1;
        seen |= 1 << which;
        if (which == SWITCH_PRINTER || which == SWITCH_LOG) {
            char *value = which == SWITCH_PRINTER ? options->printer : options->log;
            int size = which == SWITCH_PRINTER ? (int)sizeof options->printer : (int)sizeof options->log;
            if (NextWord(&arguments, value, size) != WORD_READ || value[0] == '\0') {
                value[0] = '\0';
                return -1;
            }
        }
    }
    return read == WORD_END ? seen : -1;
}

void ReadCommandLine(const char *arguments, RunOptions *options)
{
    int seen;

    options->run = RUN_BAD_COMMAND_LINE;
    options->restart = 0;
    options->printer[0] = '\0';
    options->log[0] = '\0';
    seen = ReadSwitches(arguments != NULL ? arguments : "", options);
    if (seen == 0)
        options->run = RUN_DIALOGS;
    else if (seen > 0) {
        const int off = seen & (1 << SWITCH_OFF);
        const int on = seen & (1 << SWITCH_ON);
        options->restart = (seen & (1 << SWITCH_RESTART)) != 0;
        if (seen & ((1 << SWITCH_QUESTION) | (1 << SWITCH_HELP)))
            options->run = RUN_USAGE;
        else if (off && !on)
            options->run = RUN_SWITCH_OFF;
        else if (on && !off && !(seen & (1 << SWITCH_PRINTER)))
            options->run = RUN_SWITCH_ON;
    }
}
