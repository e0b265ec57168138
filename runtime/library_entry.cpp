// The shared library's own entry: runs when the operating system loads the library.
