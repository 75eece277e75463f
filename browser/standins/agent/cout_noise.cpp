// The agent's noise through std::cout, in a library of its own that the
// agent loads only when noise is asked for (stray_io.cpp). Any code that
// includes <iostream> sets up the standard streams, and with them the whole
// locale machinery, as soon as its library is loaded: in the agent itself
// that would cost every host process about a third of a mebibyte and part
// of its start-up, for a setting that only tests use.
#include <iostream>

extern "C" void HarrowmereCoutLine(const char* text) {
  std::cout << text << std::endl;
}
