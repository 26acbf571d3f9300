// Result codes of the block framework: every block operation returns an int,
// 0 for success. Several codes carry two meanings, depending on the operation
// that returns them; the names below give each meaning its own spelling.
#pragma once

#include "dsp.h"

using vxResult = int;

inline constexpr vxResult vxOK = 0;
inline constexpr vxResult vxErrBufferInvalid = 1;       // a vxAudioBuffer without format or pointer array
inline constexpr vxResult vxErrFormat = 2;              // formats differ, too many frames, or a format refused
inline constexpr vxResult vxErrNoChannelParameter = 3;  // the base block has no channel parameters
inline constexpr vxResult vxErrChannelRange = 3;        // mapChannels: a channel range outside a buffer
inline constexpr vxResult vxErrNoParameter = 4;         // the base block has no global parameters
inline constexpr vxResult vxErrRunning = 5;             // the block is running and refuses the change
inline constexpr vxResult vxErrReformatMemory = 5;      // allocation failed while reformatting a buffer
inline constexpr vxResult vxErrNotConfigured = 6;
inline constexpr vxResult vxErrNoSections = 6;          // a filter channel without sections
inline constexpr vxResult vxErrAllocation = 7;          // allocation failed while configuring
inline constexpr vxResult vxErrBadArgument = 8;         // bad argument, index or count
inline constexpr vxResult vxErrUnknownType = 10;        // parameter type code not recognised
inline constexpr vxResult vxErrNoChannelParameterId = 12;
inline constexpr vxResult vxErrParameterMismatch = 15;  // element count or type code differs from the table
inline constexpr vxResult vxErrNoParameterId = 16;
inline constexpr vxResult vxErrKernelBase = 100;        // 100 + the OR of the failed kernel statuses

// Collects the statuses of the kernel calls of one process call: the result
// is 0 when every call succeeded, else 100 + the bitwise OR of the statuses.
class vxKernelStatus {
public:
    void add(DspStatus status) { any_ |= status; }
    vxResult result() const { return any_ == 0 ? vxOK : vxErrKernelBase + any_; }

private:
    DspStatus any_ = 0;
};
