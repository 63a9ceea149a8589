# Tests of the benchmark run, result logs and totals.
