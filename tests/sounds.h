// Music files made at test time: tracker modules of the formats beside MOD, and Ogg Vorbis.
#pragma once

#include <string>

enum ModuleFormat { kXmModule, kS3mModule, kItModule };
// A module of one pattern playing one looped square-wave note, in `format`.
bool WriteModule(const std::string& path, ModuleFormat format);
// An Ogg Vorbis file of a tone per channel, `ms` long at `rate` Hz; its header says it is
// sampled at `declaredRate` when that is given (a rate the encoder would not take).
bool WriteOgg(const std::string& path, int rate, int channels, int ms, long declaredRate = 0);
