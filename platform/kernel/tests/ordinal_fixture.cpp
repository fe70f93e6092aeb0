// A small library for the loader's tests: two functions exported by name and a table that
// exports them, and one function that has no name outside, by number.
#include "platform/kernel/ordinal_exports.h"

extern "C" HALYARD_EXPORT int FixtureAdd(int a, int b) { return a + b; }

extern "C" HALYARD_EXPORT const char* FixtureName() { return "ordinal fixture"; }

static int FixtureSecret() { return 4242; }

HALYARD_ORDINAL_EXPORTS = {
    HALYARD_ORDINAL(101, FixtureAdd),
    HALYARD_ORDINAL_NAMED(102, "FixtureName"),
    HALYARD_ORDINAL(140, FixtureSecret),
    HALYARD_ORDINAL_NAMED(103, "FixtureMissing"),
    HALYARD_ORDINAL(101, FixtureSecret),  // a second row for a number is never reached
    HALYARD_ORDINAL_END,
};
