// Variant bodies, dispatch tables and entry points.
//
// Every library function exists as five variant bodies with C linkage,
// n0_<name> (generic) .. n4_<name> (SSE4.1), and one constant table of five
// body pointers, <name>_table, indexed by dspDispatchIndex. Tests call the
// bodies and read the tables directly; callers outside the library only use
// the entry points declared in dsp.h.
#pragma once

#include <atomic>

#include "dsp.h"

// Variant index 0..4 chosen at start-up; 0 (generic) until then. Written only
// by dspStaticInit / dspStaticInitCpu, read with a plain load by every entry
// point (atomic so a second start-up storing the same value is not a race).
extern std::atomic<int> dspDispatchIndex;

inline int dspCurrentVariant() { return dspDispatchIndex.load(std::memory_order_relaxed); }

#define DSP_PP_CAT_(a, b) a##b
#define DSP_PP_CAT(a, b) DSP_PP_CAT_(a, b)

// Declares the five variant bodies of a function and its table.
//   DSP_DECLARE_VARIANTS(DspStatus, dspsZero_32f, (Dsp32f* pDst, int len))
#define DSP_DECLARE_VARIANTS(ret, name, params)                 \
    extern "C" ret n0_##name params;                            \
    extern "C" ret n1_##name params;                            \
    extern "C" ret n2_##name params;                            \
    extern "C" ret n3_##name params;                            \
    extern "C" ret n4_##name params;                            \
    using name##_fn = ret(*) params;                            \
    extern const name##_fn name##_table[5]

// Declares only the table of a function whose slots hold another function's
// bodies (dspsZero_32s runs the dspsZero_32f bodies).
#define DSP_DECLARE_TABLE(ret, name, params)                    \
    using name##_fn = ret(*) params;                            \
    extern const name##_fn name##_table[5]

// Declares a function whose one body serves every variant (no processor
// specific code, e.g. the allocators): only n0_<name> exists.
#define DSP_DECLARE_SINGLE_BODY(ret, name, params)              \
    extern "C" ret n0_##name params;                            \
    DSP_DECLARE_TABLE(ret, name, params)

// Defines a table from explicit bodies (for shared slots such as n3 = n4).
#define DSP_DEFINE_TABLE(name, b0, b1, b2, b3, b4) \
    const name##_fn name##_table[5] = {b0, b1, b2, b3, b4}

// Defines the table of a function with five distinct bodies.
#define DSP_DEFINE_TABLE5(name) \
    DSP_DEFINE_TABLE(name, n0_##name, n1_##name, n2_##name, n3_##name, n4_##name)

// Defines the table of a function whose n0 body fills all five slots.
#define DSP_DEFINE_TABLE_SINGLE(name) \
    DSP_DEFINE_TABLE(name, n0_##name, n0_##name, n0_##name, n0_##name, n0_##name)

// Defines the entry point: load the index, tail-call the body in that slot.
// No argument check of its own; the body's result is returned unchanged.
//   DSP_DEFINE_ENTRY(DspStatus, dspsZero_32f, (Dsp32f* pDst, int len), (pDst, len))
#define DSP_DEFINE_ENTRY(ret, name, params, args) \
    extern "C" ret name params { return name##_table[dspCurrentVariant()] args; }
