// The shared library is the static core linked whole (see CMakeLists.txt);
// CMake needs one source file of its own for the target.
