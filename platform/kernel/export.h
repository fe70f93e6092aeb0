// Marks the symbols a shared library exports; everything else is built hidden.
#pragma once

#define HALYARD_EXPORT __attribute__((visibility("default")))
