// Data and no code: the level check must not pass an archive it cannot see
// into.
extern const int fixtureNoCode;
const int fixtureNoCode = 1;
