# Benchmarks of the log statistics.
