# Benchmarks of the scan and download circle.
