// The interface box's output groups as the box pages show them. A group's
// bit is its value in every group mask; a monitor channel on the box pages
// counts as the group's base plus the offset inside the group.
#pragma once

#include <array>

namespace orvelan::app {

struct ZorbGroup {
    int bit;
    const char* name;
    int base;
    int size;
};

inline constexpr std::array<ZorbGroup, 3> kZorbGroups{{
    {1, "headphone", 0, 2},
    {2, "ADAT", 8, 8},
    {4, "8-LO", 16, 8},
}};

}  // namespace orvelan::app
