// Discovery against the real registry under Wine: FindSupportedPrinter beside
// a plain loop that makes the same registry calls, over growing printer lists
// in which only the last printer (in enumeration order) is supported.
//
// The printer list of the prefix is seeded here, once, and grown in place from
// one size to the next, so that a 10,000-printer list costs one pass of
// RegCreateKeyExA. Run it only in a throwaway prefix.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bare_find.h"
#include "keys.h"
#include "registry_ops.h"

static const char UNSUPPORTED_DRIVER[] = "Generic / Text Only";
// Sorts after every "Printer NNNNN", case-insensitively; the last row of the
// table makes each unsupported printer cost the full comparison.
static const char LAST_PRINTER[] = "Zandor last";
static const char LAST_DRIVER[] = "TX 414";

static double g_tick;

static double Now()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return (double)counter.QuadPart * g_tick;
}

static int AddPrinter(const char *name, const char *driver)
{
    char path[512];
    HKEY key;

    if (std::snprintf(path, sizeof path, "%s\\%s", PRINTER_LIST_KEY, name) >= (int)sizeof path)
        return 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, PRINTER_DRIVER_VALUE, 0, REG_SZ, (const BYTE *)driver,
                                 (DWORD)lstrlenA(driver) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

static DWORD CountPrinters()
{
    HKEY list;
    DWORD count = 0;

    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, PRINTER_LIST_KEY, 0, KEY_READ, &list) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyA(list, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    RegCloseKey(list);
    return count;
}

typedef int (*Finder)(char *);

// Seconds per call over `repeats` calls; 0 when a call misses the printer.
static double TimeCalls(Finder find, int repeats)
{
    char name[PRINTER_NAME_SIZE];
    double start = Now();
    for (int i = 0; i < repeats; i++) {
        if (!find(name) || lstrcmpA(name, LAST_PRINTER) != 0)
            return 0;
    }
    return (Now() - start) / repeats;
}

static double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

static int FindProduct(char *name)
{
    return FindSupportedPrinter(name);
}

int main(int argc, char **argv)
{
    static const int SIZES[] = { 10, 100, 1000, 10000 };
    int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    double roundSeconds = argc > 2 ? std::atof(argv[2]) : 0.04;
    LARGE_INTEGER frequency;

    QueryPerformanceFrequency(&frequency);
    g_tick = 1.0 / (double)frequency.QuadPart;
    if (rounds < 1)
        rounds = 1;

    if (CountPrinters() != 0) {
        std::printf("the prefix already lists %lu printers; run in a fresh prefix\n", CountPrinters());
        return 2;
    }
    if (!AddPrinter(LAST_PRINTER, LAST_DRIVER))
        return 2;

    std::printf("  %-9s %14s %14s %12s %14s %7s\n", "printers", "product/call", "bare/call", "ratio", "per printer",
                "x10 N");
    double previous = 0, perPrinter100 = 0, perPrinterLast = 0;
    int seeded = 1;
    for (int size : SIZES) {
        char name[32];
        for (; seeded < size; seeded++) {
            std::snprintf(name, sizeof name, "Printer %05d", seeded - 1);
            if (!AddPrinter(name, UNSUPPORTED_DRIVER)) {
                std::printf("seeding failed at %s\n", name);
                return 2;
            }
        }
        if (CountPrinters() != (DWORD)size) {
            std::printf("expected %d printers, found %lu\n", size, CountPrinters());
            return 2;
        }

        // One warm call each, then enough calls per round to outlast the timer's noise.
        double once = TimeCalls(FindProduct, 1);
        if (once == 0 || TimeCalls(BareFind, 1) == 0) {
            std::printf("a walk missed the supported printer at %d printers\n", size);
            return 2;
        }
        int repeats = std::max(1, (int)(roundSeconds / once));

        std::vector<double> product, bare, ratios;
        for (int round = 0; round < rounds; round++) {
            // Alternate which goes first, so that neither always meets a warmer cache.
            double p, b;
            if (round % 2 == 0) {
                p = TimeCalls(FindProduct, repeats);
                b = TimeCalls(BareFind, repeats);
            } else {
                b = TimeCalls(BareFind, repeats);
                p = TimeCalls(FindProduct, repeats);
            }
            product.push_back(p);
            bare.push_back(b);
            ratios.push_back(p / b);
        }
        double p = Median(product), b = Median(bare), r = Median(ratios);
        char growth[32] = "";
        if (previous > 0)
            std::snprintf(growth, sizeof growth, "x%.1f", p / previous);
        std::printf("  %-9d %11.1f us %11.1f us %7.3f %-4s %11.2f us %7s\n", size, p * 1e6, b * 1e6, r,
                    r <= 1.10 ? "ok" : "OVER", p * 1e6 / size, growth);
        std::fflush(stdout);
        previous = p;
        if (size == 100)
            perPrinter100 = p / size;
        perPrinterLast = p / size;
    }
    double spread = perPrinterLast / perPrinter100;
    std::printf("  time per printer at 10000 / at 100: %.2f, %s   goal: linear (about 1.00)\n", spread,
                spread < 0.67 ? "less than linear" : spread <= 1.5 ? "linear   ok" : "MORE THAN LINEAR");
    return 0;
}
