# Benchmarks of this area are declared here.
