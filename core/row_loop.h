#pragma once

// The row loop of every pass: rows 0 .. height - 1, on an OpenMP team under the default
// static schedule when parallel, each thread adding its block into private sums that
// start at zero and are combined once per thread.
//
// A serial pass runs the same loop without entering the OpenMP runtime: even a region
// whose if clause is false builds a team (a heap allocation and several semaphores),
// which costs about half a millisecond per pass under Wine. The sums are the same, since
// one thread's private sums start at zero and are added to a zero result.

#include "row_kernels.h"

namespace morvith {

inline void Accumulate(SquaredErrorTriple& into, const SquaredErrorTriple& from) {
    into.y += from.y;
    into.cb += from.cb;
    into.cr += from.cr;
}

inline void Accumulate(MomentSums& into, const MomentSums& from) {
    into.a += from.a;
    into.b += from.b;
    into.aa += from.aa;
    into.bb += from.bb;
    into.ab += from.ab;
}

inline void Accumulate(MomentSumsTriple& into, const MomentSumsTriple& from) {
    Accumulate(into.y, from.y);
    Accumulate(into.cb, from.cb);
    Accumulate(into.cr, from.cr);
}

// Without OpenMP (a core for a module that never starts a thread) both branches below
// run on the calling thread.
#ifdef _OPENMP
#pragma omp declare reduction(sum : SquaredErrorTriple : Accumulate(omp_out, omp_in)) \
    initializer(omp_priv = SquaredErrorTriple{})
#pragma omp declare reduction(sum : MomentSumsTriple : Accumulate(omp_out, omp_in)) \
    initializer(omp_priv = MomentSumsTriple{})
#endif

// add_row(r, sums) adds row r into sums.
template <typename Sums, typename AddRow>
Sums SumOverRows(int height, bool parallel, const AddRow& add_row) {
    Sums sums{};
    if (parallel) {
#ifdef _OPENMP
#pragma omp parallel for reduction(sum : sums)
#endif
        for (int r = 0; r < height; ++r) add_row(r, sums);
    } else {
        for (int r = 0; r < height; ++r) add_row(r, sums);
    }
    return sums;
}

}  // namespace morvith
