#include "runtime/VLRun.h"

#include <cstdio>

namespace vl {

int VLRunMain(int argc, char** argv) {
  std::puts("vellion");
  return 0;
}

}  // namespace vl
