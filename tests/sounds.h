// Music files made at test time: tracker modules of the formats beside MOD, and Ogg Vorbis.
#pragma once

#include <string>

enum ModuleFormat { kXmModule, kS3mModule, kItModule };
// A module of one pattern playing one looped square-wave note, in `format`.
bool WriteModule(const std::string& path, ModuleFormat format);
// An Ogg Vorbis file of a tone per channel (1 or 2 channels), `ms` long at `rate` Hz.
bool WriteOgg(const std::string& path, int rate, int channels, int ms);
