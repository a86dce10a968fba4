// A deliberate fault for the layer check's own test: a file the check lets
// include system headers that includes none, so its place on the list is stale.
#include <csignal>
