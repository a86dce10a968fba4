// A deliberate fault for the layer check's own test: a system call outside platform.
#include <cerrno>

#include <unistd.h>
