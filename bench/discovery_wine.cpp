// Discovery against the real registry under Wine: FindSupportedPrinter beside
// a plain walk of the same registry calls (bare_find.h), over printer lists of
// 10 to 10,000 printers in which only the last (in enumeration order) is
// supported: discovery_wine [ROUNDS] [SECONDS PER MEASUREMENT].
//
// Each size has its own copy of the printer list key under a bench root, and
// HKEY_LOCAL_MACHINE is redirected to that root (RegOverridePredefKey) while
// the size is timed. So every list is seeded once per prefix, and the sizes
// are timed in turn within each round: a spell of load on a shared machine
// then shifts all sizes alike instead of bending the curve.
// Run it only in a throwaway prefix.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "alternate.h"
#include "bare_find.h"
#include "keys.h"
#include "registry_ops.h"

static const int SIZES[] = { 10, 100, 1000, 10000 };
enum { SIZE_COUNT = sizeof SIZES / sizeof SIZES[0] };

static const char BENCH_ROOT[] = "SOFTWARE\\BrisvaneBench";
static const char UNSUPPORTED_DRIVER[] = "Generic / Text Only";
// Sorts after every "Printer NNNNN", case-insensitively; the last row of the
// table makes each unsupported printer cost the full comparison.
static const char LAST_PRINTER[] = "Zandor last";
static const char LAST_DRIVER[] = "TX 414";

static int AddPrinter(HKEY root, const char *name, const char *driver)
{
    char path[512];
    HKEY key;

    if (std::snprintf(path, sizeof path, "%s\\%s", PRINTER_LIST_KEY, name) >= (int)sizeof path)
        return 0;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    LONG result = RegSetValueExA(key, PRINTER_DRIVER_VALUE, 0, REG_SZ, (const BYTE *)driver,
                                 (DWORD)lstrlenA(driver) + 1);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

static DWORD CountPrinters(HKEY root)
{
    HKEY list;
    DWORD count = 0;

    if (RegOpenKeyExA(root, PRINTER_LIST_KEY, 0, KEY_READ, &list) != ERROR_SUCCESS)
        return 0;
    RegQueryInfoKeyA(list, NULL, NULL, NULL, &count, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
    RegCloseKey(list);
    return count;
}

// Opens (creating and seeding on first use) the root whose printer list holds
// `size` printers, the last one supported.
static HKEY SeededRoot(int size)
{
    char path[64];
    char name[32];
    HKEY root;

    std::snprintf(path, sizeof path, "%s\\%d", BENCH_ROOT, size);
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &root, NULL) != ERROR_SUCCESS)
        return NULL;
    if (CountPrinters(root) != (DWORD)size) {
        for (int i = 0; i < size - 1; i++) {
            std::snprintf(name, sizeof name, "Printer %05d", i);
            if (!AddPrinter(root, name, UNSUPPORTED_DRIVER))
                break;
        }
        AddPrinter(root, LAST_PRINTER, LAST_DRIVER);
    }
    if (CountPrinters(root) != (DWORD)size) {
        std::printf("  could not seed %d printers under HKLM\\%s\n", size, path);
        RegCloseKey(root);
        return NULL;
    }
    return root;
}

typedef int (*Finder)(char *);

static int FindProduct(char *name)
{
    return FindSupportedPrinter(name);
}

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

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 9;
    double measurementSeconds = argc > 2 ? std::atof(argv[2]) : 0.04;
    HKEY roots[SIZE_COUNT];
    int repeats[SIZE_COUNT];
    std::vector<double> product[SIZE_COUNT], bare[SIZE_COUNT], ratios[SIZE_COUNT];

    if (rounds < 1)
        rounds = 1;

    double seedStart = Now();
    for (int i = 0; i < SIZE_COUNT; i++) {
        roots[i] = SeededRoot(SIZES[i]);
        if (roots[i] == NULL)
            return 2;
    }
    double seedSeconds = Now() - seedStart;

    // One warm call of each walk per size, and from it enough calls per
    // measurement to outlast the timer's noise.
    for (int i = 0; i < SIZE_COUNT; i++) {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots[i]);
        double once = TimeCalls(FindProduct, 1);
        int bareFound = TimeCalls(BareFind, 1) != 0;
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
        if (once == 0 || !bareFound) {
            std::printf("  a walk missed the supported printer at %d printers\n", SIZES[i]);
            return 2;
        }
        repeats[i] = std::max(1, (int)(measurementSeconds / once));
    }

    for (int round = 0; round < rounds; round++) {
        for (int step = 0; step < SIZE_COUNT; step++) {
            // Each round starts at another size, and the walks take turns at going
            // first, so that neither a size nor a walk always meets the same moment.
            int i = (round + step) % SIZE_COUNT;
            double p, b;
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots[i]);
            if ((round + step) % 2 == 0) {
                p = TimeCalls(FindProduct, repeats[i]);
                b = TimeCalls(BareFind, repeats[i]);
            } else {
                b = TimeCalls(BareFind, repeats[i]);
                p = TimeCalls(FindProduct, repeats[i]);
            }
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, NULL);
            product[i].push_back(p);
            bare[i].push_back(b);
            ratios[i].push_back(p / b);
        }
    }

    std::printf("  seeding %d printer keys took %.1f s, once per prefix\n", 10 + 100 + 1000 + 10000, seedSeconds);
    std::printf("  %-9s %14s %14s %12s %14s %7s\n", "printers", "product/call", "bare/call", "ratio", "per printer",
                "x10 N");
    for (int i = 0; i < SIZE_COUNT; i++) {
        double p = Median(product[i]), b = Median(bare[i]), r = Median(ratios[i]);
        char growth[32] = "";
        if (i > 0)
            std::snprintf(growth, sizeof growth, "x%.1f", p / Median(product[i - 1]));
        std::printf("  %-9d %11.1f us %11.1f us %7.3f %-4s %11.2f us %7s\n", SIZES[i], p * 1e6, b * 1e6, r,
                    r <= 1.10 ? "ok" : "OVER", p * 1e6 / SIZES[i], growth);
    }
    double spread = (Median(product[3]) / SIZES[3]) / (Median(product[1]) / SIZES[1]);
    std::printf("  time per printer at 10000 / at 100: %.2f, %s   goal: linear (about 1.00)\n", spread,
                spread < 0.67   ? "less than linear"
                : spread <= 1.5 ? "linear   ok"
                                : "MORE THAN LINEAR");
    // Load on a shared machine only ever adds time; the fastest rounds show
    // the curve with the least of it.
    double fastest = (*std::min_element(product[3].begin(), product[3].end()) / SIZES[3])
                     / (*std::min_element(product[1].begin(), product[1].end()) / SIZES[1]);
    std::printf("  the same from the fastest round of each size: %.2f\n", fastest);
    for (HKEY root : roots)
        RegCloseKey(root);
    return 0;
}
