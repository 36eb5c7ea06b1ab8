// Ctrl-C, a kill or a lost terminal end the renderer at once, whatever it is doing: SDL 1.2
// would only queue a quit event that nothing reads. Before it ends by the signal, the
// program it feeds is stopped and its temporary and half-written files are removed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "render.h"

// The video, its sound, its chapters and its captions, and room to spare.
static constexpr int kMostLeftovers = 6;
static char leftover[kMostLeftovers][kPathSize];
static volatile sig_atomic_t leftoverSet[kMostLeftovers];
static volatile pid_t helper = 0;

static void Stop(int signal) {
  if (helper > 0) {
    kill(helper, SIGKILL);
    waitpid(helper, nullptr, 0);
  }
  for (int i = 0; i < kMostLeftovers; ++i)
    if (leftoverSet[i]) unlink(leftover[i]);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

void WatchSignals() {
  // A signal ignored when the program started (a background job's Ctrl-C) stays ignored.
  for (int s : {SIGINT, SIGTERM, SIGHUP})
    if (signal(s, Stop) == SIG_IGN) signal(s, SIG_IGN);
}

void RemoveIfStopped(const char* path) {
  for (int i = 0; i < kMostLeftovers; ++i)
    if (!leftoverSet[i]) {
      snprintf(leftover[i], sizeof leftover[i], "%s", path);
      leftoverSet[i] = 1;
      return;
    }
}

int MakeRemovedIfStopped(char* name) {
  // A signal between the file's making and its listing would leave it behind.
  sigset_t stops, before;
  sigemptyset(&stops);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, s);
  sigprocmask(SIG_BLOCK, &stops, &before);
  const int fd = mkstemp(name);
  const int made = errno;
  if (fd >= 0) RemoveIfStopped(name);
  sigprocmask(SIG_SETMASK, &before, nullptr);
  errno = made;
  return fd;
}

void KeepIfStopped(const char* path) {
  for (int i = 0; i < kMostLeftovers; ++i)
    if (leftoverSet[i] && strcmp(leftover[i], path) == 0) leftoverSet[i] = 0;
}

void StopWithRenderer(pid_t child) {
  helper = child;
}
