// Leaving each person out in turn: the one split behind every calibration
// and every stranger search made from a gallery alone. Header only, so the
// evaluation programs share it with the library whichever way they link it.
#pragma once

#include <cstddef>
#include <vector>

struct LeftOutPerson {
    int person = 0;
    std::vector<std::size_t> own;     // positions of the person's images
    std::vector<std::size_t> others;  // positions of everybody else's
};

// For each person 0 .. people - 1 with images, in order: personOf[i] is the
// person of image i. Nothing with fewer than two people, as a model of
// "everybody else" needs somebody.
inline std::vector<LeftOutPerson> LeaveEachPersonOut(const std::vector<int>& personOf, int people) {
    std::vector<LeftOutPerson> splits;
    if (people < 2) return splits;
    for (int person = 0; person < people; ++person) {
        LeftOutPerson split;
        split.person = person;
        for (std::size_t i = 0; i < personOf.size(); ++i)
            (personOf[i] == person ? split.own : split.others).push_back(i);
        if (!split.own.empty()) splits.push_back(std::move(split));
    }
    return splits;
}
