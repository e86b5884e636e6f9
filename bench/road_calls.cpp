// Registry calls made on each road, counted by the host layer, beside the
// fewest that the road can do with: every examined printer costs one
// enumeration, one open, one query and one close; the list key adds its open
// and close, and a walk without a match one final enumeration.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "host.h"
#include "keys.h"
#include "registry_ops.h"

namespace {

const char *const KINDS[] = { "RegOpenKeyExA",  "RegCreateKeyExA", "RegEnumKeyExA", "RegQueryValueExA",
                              "RegSetValueExA", "RegDeleteKeyA",   "RegCloseKey" };

using Counts = std::map<std::string, int>;

Counts Add(Counts a, const Counts &b)
{
    for (const auto &kind : b)
        a[kind.first] += kind.second;
    return a;
}

Counts Discovery(int examined, bool found)
{
    return { { "RegOpenKeyExA", 1 + examined },
             { "RegEnumKeyExA", examined + (found ? 0 : 1) },
             { "RegQueryValueExA", examined },
             { "RegCloseKey", 1 + examined } };
}

// Create the key, set one value, close it.
Counts WriteOneValue()
{
    return { { "RegCreateKeyExA", 1 }, { "RegSetValueExA", 1 }, { "RegCloseKey", 1 } };
}

// Load the record, then three opens, each with one deletion and one close,
// then the record's deletion.
Counts Removal()
{
    return { { "RegOpenKeyExA", 4 }, { "RegQueryValueExA", 1 }, { "RegDeleteKeyA", 4 }, { "RegCloseKey", 4 } };
}

Counts Since(size_t first)
{
    Counts counts;
    const std::vector<host::RegCall> &calls = host::RegCalls();
    for (size_t i = first; i < calls.size(); i++)
        counts[calls[i].function]++;
    return counts;
}

bool g_allMinimal = true;

// Column headings: the call names without "Reg" and the "ExA"/"A" suffix.
const char *const HEADINGS[] = { "Open", "Create", "Enum", "Query", "Set", "Delete", "Close" };

void Heading()
{
    std::printf("  %-46s", "calls made/minimum");
    for (const char *heading : HEADINGS)
        std::printf(" %11s", heading);
    std::printf("  %6s\n", "ratio");
}

void Report(const char *road, const Counts &made, const Counts &minimum, bool succeeded)
{
    int madeTotal = 0, minimumTotal = 0;

    std::printf("  %-46s", road);
    for (const char *kind : KINDS) {
        auto m = made.find(kind);
        auto n = minimum.find(kind);
        int madeCount = m == made.end() ? 0 : m->second;
        int minimumCount = n == minimum.end() ? 0 : n->second;
        madeTotal += madeCount;
        minimumTotal += minimumCount;
        char cell[32] = "-";
        if (madeCount != 0 || minimumCount != 0)
            std::snprintf(cell, sizeof cell, "%d/%d", madeCount, minimumCount);
        std::printf(" %11s", cell);
    }
    double ratio = minimumTotal ? (double)madeTotal / minimumTotal : 0;
    bool minimal = succeeded && made == minimum && host::OpenHandles() == 0;
    g_allMinimal = g_allMinimal && minimal;
    std::printf("  %6.2f  %s", ratio, minimal ? "ok" : "OVER");
    if (!succeeded)
        std::printf("  (the road failed)");
    if (host::OpenHandles() != 0)
        std::printf("  (%d handles left open)", host::OpenHandles());
    std::printf("\n");
}

std::string PrinterKey(const std::string &name)
{
    return std::string(PRINTER_LIST_KEY) + "\\" + name;
}

void AddPrinter(const std::string &name, const std::string &driver)
{
    host::SetValue(PrinterKey(name), PRINTER_DRIVER_VALUE, 1 /* REG_SZ */, driver + '\0');
}

// n printers, enumerated in the order of their numbers; `supported` of them
// (the last ones) with a supported driver.
void SeedPrinters(int n, int supported)
{
    char name[32];
    for (int i = 0; i < n; i++) {
        std::snprintf(name, sizeof name, "Printer %05d", i);
        AddPrinter(name, i >= n - supported ? "TX 414" : "Generic / Text Only");
    }
}

void Roads()
{
    char name[PRINTER_NAME_SIZE];

    // A typical machine: an unsupported printer, then two supported ones.
    host::Reset();
    AddPrinter("Fax", "Microsoft Shared Fax Driver");
    AddPrinter("Office", "CORVANA 5d");
    AddPrinter("Upstairs", "TX 212");

    size_t first = host::RegCalls().size();
    bool ok = FindSupportedPrinter(name) == 1;
    Counts find = Since(first);
    first = host::RegCalls().size();
    ok = ok && ApplyTonerLowSetting(name) == 1;
    ok = ok && PatchRecord(PATCH_STORE, name) == 1;
    Counts write = Since(first);
    Report("switch-off: FindSupportedPrinter (2nd of 3)", find, Discovery(2, true), ok);
    Report("switch-off: ApplyTonerLowSetting + PATCH_STORE", write, Add(WriteOneValue(), WriteOneValue()), ok);
    Report("switch-off road, whole", Add(find, write), Add(Discovery(2, true), Add(WriteOneValue(), WriteOneValue())),
           ok);

    first = host::RegCalls().size();
    ok = RemoveTonerLowSetting() == 1 && !host::KeyExists(PATCH_RECORD_KEY);
    Report("switch-on road: RemoveTonerLowSetting", Since(first), Removal(), ok);
}

void Discoveries()
{
    static const int SIZES[] = { 10, 100, 1000, 10000 };
    char name[PRINTER_NAME_SIZE];
    char road[96];

    for (int n : SIZES) {
        host::Reset();
        SeedPrinters(n, 1);
        bool ok = FindSupportedPrinter(name) == 1;
        std::snprintf(road, sizeof road, "discovery, %d printers, last one supported", n);
        Report(road, Since(0), Discovery(n, true), ok);
    }
    host::Reset();
    SeedPrinters(1000, 0);
    bool ok = FindSupportedPrinter(name) == 0;
    Report("discovery, 1000 printers, none supported", Since(0), Discovery(1000, false), ok);
}

}  // namespace

int main()
{
    Heading();
    Roads();
    Discoveries();
    std::printf("  every road at its minimum (goal ratio 1.00, no handle left open): %s\n",
                g_allMinimal ? "yes" : "NO");
    return 0;
}
