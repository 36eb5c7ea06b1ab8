#include "driver/driver.h"

int main(int argc, char** argv) {
  Uint32 base = StartUp(argc, argv);
  if (MainProgram) MainLoop(base);
  ShutDown();
}
