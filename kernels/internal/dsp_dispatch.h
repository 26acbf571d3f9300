// Variant bodies, dispatch tables and entry points, generated from each
// family's slot list.
//
// Every library function exists as variant bodies with C linkage, n0_<name>
// (generic) .. n4_<name> (SSE4.1), and one constant table of five body
// pointers, <name>_table, indexed by dspDispatchIndex. Tests call the bodies
// and read the tables directly; callers outside the library only use the
// entry points declared in dsp.h.
//
// A family lists its functions once, in its header, one row each:
//
//   #define DSP_EXAMPLE_SLOTS(ENTRY, INTERNAL)                                     <backslash>
//       ENTRY(DspStatus, dspsZero_32f, (0, 1, 2, 3, 4), (Dsp32f* pDst, int len),  <backslash>
//             (pDst, len))                                                        <backslash>
//       INTERNAL(DspStatus, dspsSub_32f, (0, 1, 2, 3, 3),                         <backslash>
//                (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len))
//
//   ENTRY(return type, name, slots, parameters, argument names): a function
//     with an entry point in dsp.h.
//   INTERNAL(return type, name, slots, parameters): bodies and a table only.
//   slots: the level whose body fills slot n0, n1, n2, n3, n4. Each number is
//     at most its slot's level; a level has a body of its own exactly when
//     its number stands in its own slot: (0, 1, 1, 3, 3) means bodies n0, n1
//     and n3, n1 also serving SSE3 and n3 also SSE4.1. (0, 0, 0, 0, 0) is a
//     function with one body for every processor.
//
// From that list:
//   DSP_DECLARE_FAMILY(list)  in the header: the bodies that exist, the
//                             table and its pointer type <name>_fn;
//   simd_levels_all.inc       in the family's .cpp, with DSP_FAMILY_SLOTS set
//                             to the list: compiles the .inl once per level
//                             and defines the tables and entry points.
//   DSP_DEFINE_FAMILY(list)   the tables and entry points alone, for code
//                             without levels (start-up, memory).
// The .inl writes each body once, as `DspStatus DSP_VARIANT(name)(...)`,
// with no level guard: a level whose slot runs another level's body compiles
// its copy as an unused internal function, which the compiler drops.
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
#define DSP_PP_CAT3(a, b, c) DSP_PP_CAT(DSP_PP_CAT(a, b), c)

// Element k of a slot tuple.
#define DSP_SLOT_0(s0, s1, s2, s3, s4) s0
#define DSP_SLOT_1(s0, s1, s2, s3, s4) s1
#define DSP_SLOT_2(s0, s1, s2, s3, s4) s2
#define DSP_SLOT_3(s0, s1, s2, s3, s4) s3
#define DSP_SLOT_4(s0, s1, s2, s3, s4) s4
#define DSP_SLOT(level, slots) DSP_PP_CAT(DSP_SLOT_, level) slots

// DSP_OWN_<level>_<number>: 1 when the level runs its own body, 0 when it
// runs a lower level's. A number above its level has no macro, so a slot
// naming a higher level's body does not compile.
#define DSP_OWN_0_0 1
#define DSP_OWN_1_0 0
#define DSP_OWN_1_1 1
#define DSP_OWN_2_0 0
#define DSP_OWN_2_1 0
#define DSP_OWN_2_2 1
#define DSP_OWN_3_0 0
#define DSP_OWN_3_1 0
#define DSP_OWN_3_2 0
#define DSP_OWN_3_3 1
#define DSP_OWN_4_0 0
#define DSP_OWN_4_1 0
#define DSP_OWN_4_2 0
#define DSP_OWN_4_3 0
#define DSP_OWN_4_4 1
#define DSP_OWNS_BODY(level, slots) DSP_PP_CAT3(DSP_OWN_, level, DSP_PP_CAT(_, DSP_SLOT(level, slots)))

#define DSP_IF_1(...) __VA_ARGS__
#define DSP_IF_0(...)
#define DSP_IF(condition) DSP_PP_CAT(DSP_IF_, condition)

// The body of `name` that fills slot `level`.
#define DSP_SLOT_BODY(level, name, slots) DSP_PP_CAT3(n, DSP_SLOT(level, slots), DSP_PP_CAT(_, name))

// ---- Declarations (family header) ------------------------------------------

#define DSP_DECLARE_BODY_AT(level, ret, name, slots, params) \
    DSP_IF(DSP_OWNS_BODY(level, slots))(extern "C" ret DSP_PP_CAT3(n, level, DSP_PP_CAT(_, name)) params;)

#define DSP_DECLARE_ROW(ret, name, slots, params)                  \
    DSP_DECLARE_BODY_AT(0, ret, name, slots, params)               \
    DSP_DECLARE_BODY_AT(1, ret, name, slots, params)               \
    DSP_DECLARE_BODY_AT(2, ret, name, slots, params)               \
    DSP_DECLARE_BODY_AT(3, ret, name, slots, params)               \
    DSP_DECLARE_BODY_AT(4, ret, name, slots, params)               \
    using name##_fn = ret(*) params;                               \
    extern const name##_fn name##_table[5];
#define DSP_DECLARE_ENTRY_ROW(ret, name, slots, params, args) DSP_DECLARE_ROW(ret, name, slots, params)

#define DSP_DECLARE_FAMILY(list) list(DSP_DECLARE_ENTRY_ROW, DSP_DECLARE_ROW)

// Declares only the table of a function whose slots hold another function's
// bodies (dspsZero_32s runs the dspsZero_32f bodies); its table and entry
// point are written out by hand.
#define DSP_DECLARE_TABLE(ret, name, params) \
    using name##_fn = ret(*) params;         \
    extern const name##_fn name##_table[5]

// ---- Level declarations (expanded by simd_level_begin.inc) -----------------

// In the level's namespace, before the .inl: a body the level owns gets C
// linkage and the name n<level>_<name>; a body it does not own becomes an
// internal function nobody calls.
#define DSP_LEVEL_BODY_1(ret, name, params) extern "C" ret DSP_VARIANT(name) params;
#define DSP_LEVEL_BODY_0(ret, name, params) [[maybe_unused]] static ret DSP_VARIANT(name) params;
#define DSP_DECLARE_LEVEL_ROW(ret, name, slots, params) \
    DSP_PP_CAT(DSP_LEVEL_BODY_, DSP_OWNS_BODY(DSP_LEVEL, slots))(ret, name, params)
#define DSP_DECLARE_LEVEL_ENTRY_ROW(ret, name, slots, params, args) DSP_DECLARE_LEVEL_ROW(ret, name, slots, params)

// ---- Tables and entry points (family .cpp) ---------------------------------

#define DSP_DEFINE_TABLE_ROW(ret, name, slots, params)                                           \
    const name##_fn name##_table[5] = {DSP_SLOT_BODY(0, name, slots), DSP_SLOT_BODY(1, name, slots), \
                                       DSP_SLOT_BODY(2, name, slots), DSP_SLOT_BODY(3, name, slots), \
                                       DSP_SLOT_BODY(4, name, slots)};

// The entry point loads the index and tail-calls the body in that slot. No
// argument check of its own; the body's result is returned unchanged.
#define DSP_DEFINE_ENTRY_ROW(ret, name, slots, params, args) \
    DSP_DEFINE_TABLE_ROW(ret, name, slots, params)           \
    extern "C" ret name params { return name##_table[dspCurrentVariant()] args; }

#define DSP_DEFINE_FAMILY(list) list(DSP_DEFINE_ENTRY_ROW, DSP_DEFINE_TABLE_ROW)

// ---- Internal kernels ------------------------------------------------------

// Declares kernels that every level (or every SSE level) defines in its own
// namespace, for the bodies of other families to call at their own level:
//   DSP_DECLARE_IN_LEVELS(void zeroKernel8u(Dsp8u* pDst, std::size_t byteCount);)
#define DSP_DECLARE_IN_SSE_LEVELS(...)     \
    namespace dsp_n1 { __VA_ARGS__ }       \
    namespace dsp_n2 { __VA_ARGS__ }       \
    namespace dsp_n3 { __VA_ARGS__ }       \
    namespace dsp_n4 { __VA_ARGS__ }
#define DSP_DECLARE_IN_LEVELS(...)         \
    namespace dsp_n0 { __VA_ARGS__ }       \
    DSP_DECLARE_IN_SSE_LEVELS(__VA_ARGS__)
