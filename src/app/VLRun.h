#pragma once
// The program entry of `vellion`: reads the options and runs what they ask
// (the help, the command list, --eval, or playing a publication).

namespace vl {

// Runs the program with its command line; returns the exit status.
int VLRunMain(int argc, char** argv);

}  // namespace vl
