// What the fuzz targets share.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the run where the code broke a promise: libFuzzer counts the abort as a finding.
inline void Check(bool condition) {
  if (!condition) std::abort();
}

// The file each input is written to, for code that reads files: one of the process's own in
// TMPDIR, named after `stem`, removed at exit. The first call's stem names it.
inline const std::string& InputPath(const char* stem) {
  static const std::string path = [stem] {
    const char* dir = std::getenv("TMPDIR");
    std::string name = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "_XXXXXX";
    const int fd = mkstemp(name.data());
    Check(fd >= 0);
    close(fd);
    std::atexit([] { std::remove(InputPath("").c_str()); });
    return name;
  }();
  return path;
}
