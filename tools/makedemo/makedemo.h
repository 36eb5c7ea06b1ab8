// The demo show's generator: its photos and its music module, drawn and composed with the
// show's designs.
#pragma once

#include "designs.h"

// Producers of the demo show's files; each writes into `dir` and says whether it succeeded.
// kDemoPhotos photos in the order of the show, each filling the photo area, and their large
// sources.
bool MakePhotos(const char* dir);
bool MakeModule(const char* dir);
