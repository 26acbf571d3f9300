// Block parameters: each block class describes its settings in static tables
// of names, element counts and type codes, and callers address a parameter
// by its index in the table (its id). A block has a global table and a
// per-channel table; `vxCopyParameterValue` moves one value between a
// caller's memory and the block's, checked against the table.
#pragma once

#include "framework/result_codes.h"

// A parameter name: a NUL-padded 17-character record. A table's names are
// such records back to back:
//   constexpr vxParameterName kNames[] = {"masterVolume", "channelVolume"};
using vxParameterName = char[17];

// Type codes. Codes without a name here have an element width (see
// vxParameterElementBytes) but no meaning of their own in this system.
inline constexpr int vxTypeFlag = 0;        // one byte: a flag or a trigger
inline constexpr int vxTypeByte = 1;
inline constexpr int vxTypeString = 3;      // 8-bit characters: count characters and a terminator
inline constexpr int vxTypeWideString = 4;  // 16-bit characters: count characters and a terminator
inline constexpr int vxTypeInt32 = 6;
inline constexpr int vxTypeFloat32 = 9;

struct vxParameterTable {
    const vxParameterName* names = nullptr;
    const int* counts = nullptr;
    const int* types = nullptr;
    int count = 0;

    bool contains(int id) const { return id >= 0 && id < count; }
};

// Bytes per element of a type code; 0 for codes without a width (the
// strings, which are measured in characters, and unknown codes).
int vxParameterElementBytes(int type);

// Copies the value of parameter `id` of `table` from src to dst: `count`
// elements of `type`, which must match the table's entry (else
// vxErrParameterMismatch). Strings may be shorter than the table's count;
// they copy their characters and the terminator. vxErrUnknownType for a
// type code without a width; vxErrBadArgument for a null pointer;
// `missingId` when id is not in the table.
vxResult vxCopyParameterValue(const vxParameterTable& table, vxResult missingId, const void* src, int id, void* dst,
                              int count, int type);
