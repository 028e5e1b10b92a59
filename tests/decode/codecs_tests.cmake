# Tests of the decoders.
