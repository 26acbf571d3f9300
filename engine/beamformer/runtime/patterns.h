// The twelve beam patterns: read-only records of everything the beamformer
// needs to form a pattern (per variant the modal FIRs of orders 0..3 and the
// equaliser, per pattern the crossover pair and the HF path's mode) and what
// the user interface shows (name, variant values, polar curves, beam
// widths). The records stand on the generated tables; the factory creates
// them once and keeps the maxima over them, from which the beamformer sizes
// its stages.
//
// Threads: the records never change after construction, so any thread may
// read them.
#pragma once

#include <cstdint>

#include "beamformer/tables/beamformer_tables.h"

// Base of the pattern records.
class vxPattern {
public:
    virtual ~vxPattern() = default;
    vxPattern(const vxPattern&) = delete;
    vxPattern& operator=(const vxPattern&) = delete;

    // Group delay of the modal FIRs plus that of the equaliser, in samples.
    virtual double latency() const;

    int modalLength() const { return modalLength_; }
    int eqLength() const { return eqLength_; }

protected:
    vxPattern(int modalLength, int eqLength) : modalLength_(modalLength), eqLength_(eqLength) {}

private:
    int modalLength_;
    int eqLength_;
};

class CRoPattern : public vxPattern {
public:
    static constexpr int kOrderCount = 4;
    static constexpr int kTextLength = 16;
    static constexpr float kDesignRate = 44100.0f;

    explicit CRoPattern(const orvelan::beamformer::tables::PatternTable& table);

    // The base latency plus the crossover's group delay.
    double latency() const override;

    // Top byte 10, next byte the pattern code, low 16 bits 1.
    std::int32_t id() const { return id_; }
    int code() const { return table_.code; }
    // NUL-padded, kTextLength bytes.
    const char* name() const { return name_; }
    const char* description() const { return description_; }
    int orderCount() const { return kOrderCount; }
    int variantCount() const { return table_.variantCount; }
    int curvePoints() const { return table_.curvePoints; }
    float designRate() const { return kDesignRate; }
    bool hasVariant(int v) const { return v >= 0 && v < variantCount(); }

    // Per variant (v must be one of the record's variants).
    const float* modalTaps(int v, int order) const {
        return table_.modalTaps + (v * kOrderCount + order) * table_.modalLength;
    }
    const std::int32_t* tapCounts(int v) const { return table_.tapCounts + v * kOrderCount; }
    int variantValue(int v) const { return table_.variantValues[v]; }
    const std::int32_t* variantValues() const { return table_.variantValues; }
    int beamWidth(int v) const { return table_.beamWidths[v]; }
    // curvePoints() linear magnitudes at 0, 5, ..., 360 degrees.
    const float* curve(int v) const { return table_.curves + v * table_.curvePoints; }
    const float* eqTaps(int v) const { return table_.eqTaps + v * table_.eqLength; }
    using vxPattern::eqLength;
    int eqLength(int v) const { return table_.eqLengths[v]; }

    int crossoverLength() const { return table_.crossoverLength; }
    const float* crossoverLowPass() const { return table_.crossoverLowPass; }
    const float* crossoverHighPass() const { return table_.crossoverHighPass; }
    // 1 nearest capsule, 2 capsule triangle.
    int hfMode() const { return table_.hfMode; }

private:
    const orvelan::beamformer::tables::PatternTable& table_;
    std::int32_t id_;
    char name_[kTextLength] = {};
    char description_[kTextLength] = {};
};

// The record of the generated pattern at `Index` of the factory's order.
template <int Index>
class CRo32TablePattern final : public CRoPattern {
public:
    static_assert(Index >= 0 && Index < orvelan::beamformer::tables::kPatternCount);
    CRo32TablePattern() : CRoPattern(orvelan::beamformer::tables::kPatterns[Index]) {}
};

using CRo32Omni = CRo32TablePattern<0>;
using CRo32Super3 = CRo32TablePattern<1>;
using CRo32Super2 = CRo32TablePattern<2>;
using CRo32Super1 = CRo32TablePattern<3>;
using CRo32Hyper3 = CRo32TablePattern<4>;
using CRo32Hyper2 = CRo32TablePattern<5>;
using CRo32Hyper1 = CRo32TablePattern<6>;
using CRo32Card3 = CRo32TablePattern<7>;
using CRo32Card2 = CRo32TablePattern<8>;
using CRo32Card1 = CRo32TablePattern<9>;
using CRo32Dipole1 = CRo32TablePattern<10>;
using CRo32Torus2 = CRo32TablePattern<11>;

// Owns a set of pattern records, by index.
class vxPatternFactory {
public:
    virtual ~vxPatternFactory();
    vxPatternFactory(const vxPatternFactory&) = delete;
    vxPatternFactory& operator=(const vxPatternFactory&) = delete;

    int count() const { return count_; }

protected:
    vxPatternFactory() = default;
    // Takes ownership of `count` records (the array from new[]).
    void adopt(vxPattern** patterns, int count);
    vxPattern* at(int index) const { return index >= 0 && index < count_ ? patterns_[index] : nullptr; }

private:
    vxPattern** patterns_ = nullptr;
    int count_ = 0;
};

// The twelve patterns of the array, in the order the user interface lists
// them ("omni", "super3", ..., "torus"). When a record cannot be created the
// factory holds none (count and maxima 0).
class CRo32Factory : public vxPatternFactory {
public:
    CRo32Factory();

    // Null outside 0..count-1.
    const CRoPattern* pattern(int index) const { return static_cast<const CRoPattern*>(at(index)); }

    int longestModalFir() const { return longestModalFir_; }
    int longestEqFir() const { return longestEqFir_; }
    int longestCrossoverFir() const { return longestCrossoverFir_; }
    float largestLatency() const { return largestLatency_; }
    int mostCurvePoints() const { return mostCurvePoints_; }

private:
    int longestModalFir_ = 0;
    int longestEqFir_ = 0;
    float largestLatency_ = 0.0f;
    int mostCurvePoints_ = 0;
    int longestCrossoverFir_ = 0;
};
