// Replaced by the decoders.
