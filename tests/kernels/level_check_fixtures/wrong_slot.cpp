// A dispatch table whose SSE3 slot holds the SSSE3 body: the level check
// must reject it. Written out by hand, as the slot lists refuse to compile it.
extern "C" int n0_fixtureScale(int x) { return 2 * x; }
extern "C" int n1_fixtureScale(int x) { return 2 * x; }
extern "C" int n2_fixtureScale(int x) { return 2 * x; }
extern "C" int n3_fixtureScale(int x) { return 2 * x; }
extern "C" int n4_fixtureScale(int x) { return 2 * x; }

using fixtureScale_fn = int (*)(int);
extern const fixtureScale_fn fixtureScale_table[5];
const fixtureScale_fn fixtureScale_table[5] = {n0_fixtureScale, n1_fixtureScale, n3_fixtureScale, n3_fixtureScale,
                                               n4_fixtureScale};
