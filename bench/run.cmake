# The benchmark run, result logs and totals.
target_sources(quorvel_core PRIVATE
  benchmark.cpp
)
