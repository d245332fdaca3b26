// Replaced by the decoder sources.
