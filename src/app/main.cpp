#include "app/VLRun.h"

int main(int argc, char** argv) { return vl::VLRunMain(argc, argv); }
