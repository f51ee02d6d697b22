// What the module reports about itself: the same four fields the module
// catalogue keeps for a recognizer, plus a contact address.
#pragma once

#include <array>
#include <string_view>

inline constexpr std::array<std::string_view, 5> moduleRecord = {
    "Dorsk",                          // author
    "(K)PCA人脸识别",                 // module name
    "libmorlin.so",                   // library file name
    "2.0.051208",                     // version
    "morlin-maintainers@example.org"  // contact
};
