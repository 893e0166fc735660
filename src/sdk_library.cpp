// The shared library is kelvra_core linked whole; this unit only gives the target a source.
