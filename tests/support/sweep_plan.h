#pragma once

// What every random sweep of the 32-bit tests reads from its environment: how many cases,
// the one case to run alone, and the command that reruns one case.

#include <cstdint>
#include <optional>
#include <string>

namespace morvith::testing {

// MORVITH_SWEEP_CASES, or else the default for the route the tests run on: the emulated
// one (MORVITH_WIN32_ROUTE=emulated) is many times slower. A value that is not a positive
// number throws std::invalid_argument rather than sweeping nothing and passing.
uint32_t SweepCaseCount(uint32_t native_default, uint32_t emulated_default);

// MORVITH_SWEEP_SEED, the one case to run, or nullopt when unset; throws like the above.
std::optional<uint32_t> OnlySweepSeed();

// The shell command that reruns the current test on `seed` alone in the current guard
// placement, through the wine-run of the build this executable belongs to.
std::string SweepRerunCommand(uint32_t seed);

}  // namespace morvith::testing
