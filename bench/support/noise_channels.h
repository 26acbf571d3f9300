// Channels of uniform noise in [-1, 1), the same every run (fixed seed),
// and the channel pointers a block's process call takes.
#pragma once

#include <random>
#include <vector>

class NoiseChannels {
public:
    NoiseChannels(int channels, int frames) : samples_(channels, std::vector<float>(frames)) {
        std::mt19937 random(1);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        for (auto& c : samples_) {
            for (float& v : c) v = sample(random);
            pointers_.push_back(c.data());
        }
    }

    float** data() { return pointers_.data(); }

private:
    std::vector<std::vector<float>> samples_;
    std::vector<float*> pointers_;
};
