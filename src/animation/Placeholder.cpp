namespace qv { int animationPlaceholder() { return 0; } }
