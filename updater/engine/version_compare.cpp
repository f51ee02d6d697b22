// Version strings by the shared manifest rules: numbers compare as numbers.
#include "engine/version_compare.h"

#include "trust/manifest_rules.h"

int CompareVersions(const std::string& a, const std::string& b) {
    const auto first = ParseVersion(a);
    if (!first) return versionAMalformed;
    const auto second = ParseVersion(b);
    if (!second) return versionBMalformed;
    for (size_t k = 0; k < first->size(); ++k) {
        if ((*first)[k] > (*second)[k]) return 1;
        if ((*first)[k] < (*second)[k]) return -1;
    }
    return 0;
}
