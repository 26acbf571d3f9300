// A weighted sum of float streams, out = sum over j of weights[j] x
// inputs[j]: the decomposition's encoder rows and a steady beam's order sums.
//
// The vector kernels' multiply-accumulate with a constant writes its result
// past the caches, which suits one long vector but makes a sum of many short
// ones wait on memory for every term; here each stretch of samples is summed
// in registers over all terms and stored once. The arithmetic is that of the
// kernels' chain (first product, then each further product added, in order
// of j, every step rounded to float), so the results are the same.
#pragma once

namespace orvelan::beamformer {

// count >= 1 inputs of `frames` samples; out must not be one of them.
void weightedSum(const float* const* inputs, const float* weights, int count, float* out, int frames);

// Several weighted sums of the same inputs, outs[o] with weights[o] (count
// each), each exactly as weightedSum gives it. Sums formed side by side
// share every load of an input sample (the decomposition's 16 components of
// the 32 capsules).
void weightedSums(const float* const* inputs, const float* const* weights, int count, float* const* outs,
                  int outCount, int frames);

}  // namespace orvelan::beamformer
