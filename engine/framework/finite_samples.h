// Where float samples enter a chain from outside (a device, a file), one
// NaN or infinity would reach every filter downstream and stay in the
// recursive ones for good. Such samples become silence instead.
//
// Threads: any; for the audio thread, it allocates nothing and does not
// branch on the samples.
#pragma once

// Every sample of the n at `samples` that is a NaN or an infinity becomes
// +0.0; every finite sample (denormals and -0.0 too) keeps its bits.
void vxZeroNonFinite(float* samples, int n);
