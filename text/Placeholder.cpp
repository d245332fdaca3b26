// Replaced by the string sources.
