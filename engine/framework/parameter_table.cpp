#include "framework/parameter_table.h"

#include <cstring>

int vxParameterElementBytes(int type) {
    switch (type) {
        case 0: case 1:
            return 1;
        case 2: case 5: case 8:
            return 2;
        case 6: case 9: case 11: case 14: case 17:
            return 4;
        case 7: case 10: case 12: case 15: case 18:
            return 8;
        case 13: case 16:
            return 16;
        default:
            return 0;
    }
}

namespace {

// Bytes per character of a string type code; 0 for every other code.
int stringCharacterBytes(int type) {
    if (type == vxTypeString) return 1;
    if (type == vxTypeWideString) return 2;
    return 0;
}

}  // namespace

vxResult vxCopyParameterValue(const vxParameterTable& table, vxResult missingId, const void* src, int id, void* dst,
                              int count, int type) {
    if (!table.contains(id)) return missingId;
    if (src == nullptr || dst == nullptr) return vxErrBadArgument;
    const int tableCount = table.counts[id];
    const int tableType = table.types[id];

    // A string only needs room for itself, but must meet a string entry of
    // its own kind: a block's storage for any other type has no room for
    // the terminator.
    if (const int characterBytes = stringCharacterBytes(type)) {
        if (count < 0 || count > tableCount || type != tableType) return vxErrParameterMismatch;
        std::memcpy(dst, src, static_cast<std::size_t>(count + 1) * characterBytes);
        return vxOK;
    }

    if (count < 0 || count != tableCount || type != tableType) return vxErrParameterMismatch;
    const int elementBytes = vxParameterElementBytes(type);
    if (elementBytes == 0) return vxErrUnknownType;
    std::memcpy(dst, src, static_cast<std::size_t>(count) * elementBytes);
    return vxOK;
}
