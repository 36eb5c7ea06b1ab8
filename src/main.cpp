// tolvane: the live show. Start-up, the loop until the show ends or the presenter quits, shutdown.
#include "driver/driver.h"

int main(int argc, char** argv) {
  Uint32 base = StartUp(argc, argv);
  if (MainProgram) MainLoop(base);
  ShutDown();
}
