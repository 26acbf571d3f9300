// orvelan_make_demo_take <out.wav> [seconds]: writes the demo take, a
// 32-channel recording of three simulated sources (see demo_take.h), for
// the program to play without any hardware.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/demo_take.h"

int main(int argc, char** argv)
{
    using namespace orvelan::demo;
    double seconds = kDemoDefaultSeconds;
    if (argc == 3) {
        char* end = nullptr;
        seconds = std::strtod(argv[2], &end);
        if (end == argv[2] || *end != '\0' || !(seconds >= kDemoMinSeconds && seconds <= kDemoMaxSeconds)) {
            std::fprintf(stderr, "seconds must be a number from %g to %g\n", kDemoMinSeconds, kDemoMaxSeconds);
            return 2;
        }
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: %s <out.wav> [seconds]\n", argc > 0 ? argv[0] : "orvelan_make_demo_take");
        return 2;
    }
    if (const int r = writeDemoTake(argv[1], seconds); r != 0) {
        std::fprintf(stderr, "cannot write %s (error %d)\n", argv[1], r);
        return 1;
    }
    std::printf("%s\n", argv[1]);
    for (const DemoSource& s : kDemoSources)
        std::printf("  %-5s from theta %g, phi %g, %g-%g Hz\n", s.name, s.direction.theta, s.direction.phi, s.band.lowHz,
                    s.band.highHz);
    return 0;
}
