// Compiled only to make the precompiled headers of the targets that reuse them.
