namespace qv { int modelPlaceholder() { return 0; } }
