#include "beamformer/runtime/patterns.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

namespace tables = orvelan::beamformer::tables;

// Group delay of a linear-phase FIR of `length` taps; 0 without one.
double groupDelay(int length) { return length < 1 ? 0.0 : double(length - 1) / 2.0; }

constexpr std::int32_t kRecordClass = 10;
constexpr std::int32_t kTableRecord = 1;

// Copies text into a NUL-padded field, cutting it to leave one NUL.
void copyText(char (&field)[CRoPattern::kTextLength], const char* text) {
    if (text != nullptr) std::strncpy(field, text, CRoPattern::kTextLength - 1);
}

template <int... Index>
bool createAll(vxPattern** patterns, std::integer_sequence<int, Index...>) {
    ((patterns[Index] = new (std::nothrow) CRo32TablePattern<Index>()), ...);
    return ((patterns[Index] != nullptr) && ...);
}

}  // namespace

double vxPattern::latency() const { return groupDelay(modalLength_) + groupDelay(eqLength_); }

CRoPattern::CRoPattern(const tables::PatternTable& table)
    : vxPattern(table.modalLength, table.eqLength),
      table_(table),
      id_(kRecordClass << 24 | table.code << 16 | kTableRecord) {
    copyText(name_, table.name);
    copyText(description_, table.description);
}

double CRoPattern::latency() const { return vxPattern::latency() + groupDelay(crossoverLength()); }

vxPatternFactory::~vxPatternFactory() { adopt(nullptr, 0); }

void vxPatternFactory::adopt(vxPattern** patterns, int count) {
    for (int i = 0; i < count_; ++i) delete patterns_[i];
    delete[] patterns_;
    patterns_ = patterns;
    count_ = patterns != nullptr ? count : 0;
}

CRo32Factory::CRo32Factory() {
    constexpr int kCount = tables::kPatternCount;
    vxPattern** patterns = new (std::nothrow) vxPattern*[kCount]();
    if (patterns == nullptr) return;
    if (!createAll(patterns, std::make_integer_sequence<int, kCount>())) {
        for (int i = 0; i < kCount; ++i) delete patterns[i];
        delete[] patterns;
        return;
    }
    adopt(patterns, kCount);
    for (int i = 0; i < count(); ++i) {
        const CRoPattern& p = *pattern(i);
        longestModalFir_ = std::max(longestModalFir_, p.modalLength());
        longestEqFir_ = std::max(longestEqFir_, p.eqLength());
        longestCrossoverFir_ = std::max(longestCrossoverFir_, p.crossoverLength());
        mostCurvePoints_ = std::max(mostCurvePoints_, p.curvePoints());
        if (p.latency() > largestLatency_) largestLatency_ = static_cast<float>(p.latency());
    }
}
