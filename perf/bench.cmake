# Benchmarks of fetching, scanning and the run.
