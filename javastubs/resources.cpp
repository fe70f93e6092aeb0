#include "resources.h"

namespace quarb {
namespace {

constexpr halyard::StringResource kStrings[] = {
    {IDS_QUARBCOMPILER, "QUARB Compiler"},
};

}  // namespace

StringResources::StringResources() : registration_(kStrings) {}

}  // namespace quarb
