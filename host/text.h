// Case rules of the host layer: the registry's names and lstrcmpiA compare
// letters without regard to case, Latin and (code page 1251) Cyrillic alike.
#ifndef BRISVANE_HOST_TEXT_H
#define BRISVANE_HOST_TEXT_H

#include <string>

namespace host {

unsigned char FoldCase(unsigned char c);
int CompareNoCase(const std::string &a, const std::string &b);  // -1, 0, 1

struct NoCaseLess {
    bool operator()(const std::string &a, const std::string &b) const { return CompareNoCase(a, b) < 0; }
};

}  // namespace host

#endif
