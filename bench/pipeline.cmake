# Benchmarks of the decode pipeline.
