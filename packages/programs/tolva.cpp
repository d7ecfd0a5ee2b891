// The runtime's launcher program as the sample runtime package installs it:
// it only tells its version, which is all the installers and tests need of it.
#include <cstdio>
#include <cstring>

#ifndef TDS_SAMPLE_VERSION
#error "TDS_SAMPLE_VERSION must name the runtime version"
#endif

int main(int argc, char** argv) {
  std::printf("tolva version \"%s\"\n", TDS_SAMPLE_VERSION);
  return 0;
}
