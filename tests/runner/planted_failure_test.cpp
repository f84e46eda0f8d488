// Fails on purpose: the runner's tests check that a failing case fails ctest through
// every route. Labelled so that the suite's own runs leave it out.

#include <gtest/gtest.h>

TEST(RunnerPlantedFailure, FailsOnPurpose) { FAIL() << "planted failure"; }
