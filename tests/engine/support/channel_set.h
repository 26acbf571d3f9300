// Channels of float samples for driving blocks in tests: the sample vectors
// and the float** pointer array a block's `process` takes.
#pragma once

#include <functional>
#include <vector>

class ChannelSet {
public:
    ChannelSet(int channels, int floatsPerChannel, float value = 0.0f)
        : samples_(channels, std::vector<float>(floatsPerChannel, value)), pointers_(channels) {
        for (int c = 0; c < channels; ++c) pointers_[c] = samples_[c].data();
    }

    float** pointers() { return pointers_.data(); }
    std::vector<float>& operator[](int c) { return samples_[c]; }
    const std::vector<float>& operator[](int c) const { return samples_[c]; }
    int channels() const { return static_cast<int>(samples_.size()); }

    // Sample i of channel c becomes value(c, i).
    void fill(const std::function<float(int c, int i)>& value) {
        for (int c = 0; c < channels(); ++c)
            for (int i = 0; i < static_cast<int>(samples_[c].size()); ++i) samples_[c][i] = value(c, i);
    }

private:
    std::vector<std::vector<float>> samples_;
    std::vector<float*> pointers_;
};
