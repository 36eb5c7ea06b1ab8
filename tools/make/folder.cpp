// The show folder: made under a temporary name beside SHOWDIR, filled, and only then given
// SHOWDIR's name, so that a failure or an interruption never leaves half a show in its place.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common.h"
#include "designs.h"
#include "make.h"
#include "render.h"

// The demo's module, built into the program (music.cpp).
extern const unsigned char demoModule[], demoModuleEnd[];

// The show SHOWDIR holds when --force replaces it: whether it has the record of its
// sources, and the record.
static bool replacing = false;
static bool oldRecorded = false;
static ShowSources oldSources;
// The caption file of a show without the record is the presenter's: kept as it is.
static bool keepOldCaptions = false;

// The large sources: the folder in a show folder ("gfx/hd"), the one in gfx/ ("hd"), and
// whether an entry of `sub` is one of the show's sub folders, which are walked by their own.
static const std::string largeSub(kLargeDir, strlen(kLargeDir) - 1);
static const std::string largeInGfx = largeSub.substr(strlen(kPictureDir));

static bool IsRealDir(const char* path);

static bool IsShowSubFolder(const char* sub, const char* name, const char* path) {
  const bool named = sub[0] == '\0' ? strcmp(name, "gfx") == 0 || strcmp(name, "sfx") == 0
                     : strcmp(sub, "gfx") == 0 ? name == largeInGfx
                                               : false;
  return named && IsRealDir(path);
}

// Whether `name` in gfx/hd/ is the large source of one of a show's pictures or photos.
static bool LargeName(const char* name) {
  for (const PictureName& picture : kShowPictures)
    if (strcmp(name, picture.file + strlen(kPictureDir)) == 0) return true;
  return PhotoNumber(name, kMaxPhotos) > 0;
}

// Whether `name` in the show folder's `sub` ("", "gfx", "gfx/hd" or "sfx") is one of a show's
// own files.
static bool ShowName(const char* sub, const char* name) {
  if (sub == largeSub) return LargeName(name);
  char path[300];
  snprintf(path, sizeof path, "%s%s%s", sub, sub[0] ? "/" : "", name);
  for (const char* file : kShowFiles)
    if (strcmp(path, file) == 0) return true;
  if (strcmp(sub, "gfx") == 0) return PhotoNumber(name, kMaxPhotos) > 0;
  return strcmp(path, kCaptionFile) == 0;
}

// Whether the old show's `name` in `sub` was made by tolvane-make and goes with the old show:
// with the record, the files it names, and the caption files whose text the new show's took
// up; without, a show's own files but a caption file that --captions does not replace.
static bool MadeByUs(const char* sub, const char* name) {
  if (sub[0] == '\0') {
    if (strcmp(name, kSourcesFile) == 0) return oldRecorded;
    if (strcmp(name, kRemovedCaptionFile) == 0) return oldRecorded && !made.captions;
    if (strcmp(name, kCaptionFile) == 0) return !keepOldCaptions;
  }
  if (!ShowName(sub, name)) return false;
  if ((strcmp(sub, "gfx") == 0 || sub == largeSub) && PhotoNumber(name, kMaxPhotos) && oldRecorded)
    return PhotoNumber(name, kMaxPhotos) <= oldSources.photos;
  return true;
}

// Folders are read up to this many entries: a show folder holds some sixty files, and a
// presenter's few more; the bound keeps a loop over a strange folder finite.
constexpr int kMostEntries = 100000;

// Calls `each` with every entry of `dir` but . and ..; false when the folder cannot be read
// or holds more than kMostEntries.
template <typename Each>
static bool ForEachEntry(const char* dir, Each each) {
  DIR* d = opendir(dir);
  if (!d) return false;
  int n = 0;
  bool ok = true;
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (++n > kMostEntries || !each(e->d_name)) {
      ok = false;
      break;
    }
  }
  closedir(d);
  return ok;
}

static bool IsRealDir(const char* path) {
  struct stat s;
  return lstat(path, &s) == 0 && S_ISDIR(s.st_mode);
}

// A folder that holds nothing but a show's own files, as an older tolvane-make made them.
static bool OnlyShowFiles(const char* dir) {
  for (const char* sub : {"", "gfx", largeSub.c_str(), "sfx"}) {
    char folder[2 * kMakePath];
    snprintf(folder, sizeof folder, "%s/%s", dir, sub);
    // One that is not a folder was found out one level up; older shows have no gfx/hd.
    if (sub[0] && !IsRealDir(folder)) continue;
    const bool only = ForEachEntry(folder, [&](const char* name) {
      char path[3 * kMakePath];
      snprintf(path, sizeof path, "%s/%s", folder, name);
      return IsShowSubFolder(sub, name, path) || ShowName(sub, name);
    });
    if (!only) return false;
  }
  return true;
}

// Whether `path` lies in `folder` (both as they resolve).
static bool Inside(const char* path, const char* folder) {
  char p[PATH_MAX], f[PATH_MAX];
  if (!realpath(path, p) || !realpath(folder, f)) return false;
  const size_t n = strlen(f);
  return strncmp(p, f, n) == 0 && (p[n] == '/' || p[n] == '\0');
}

// Reads what SHOWDIR holds: a show tolvane-make made (with the record), one an older
// tolvane-make made (nothing but a show's files), or something --force may not replace.
static bool ReadOldShow(const char* dir) {
  char record[kMakePath + 32];
  snprintf(record, sizeof record, "%s/%s", dir, kSourcesFile);
  oldRecorded = ReadSources(record, oldSources);
  if (!oldRecorded) oldSources.photos = 0;
  if (!oldRecorded && !OnlyShowFiles(dir))
    return Fail(kMakeProgram,
                "%s is not a show folder made by tolvane-make (it has no %s it can read, and "
                "holds other files): --force replaces only show folders",
                dir, kSourcesFile);
  char caption[kMakePath + 32];
  snprintf(caption, sizeof caption, "%s/%s", dir, kCaptionFile);
  keepOldCaptions = !oldRecorded && !made.captions && access(caption, F_OK) == 0;
  return true;
}

bool MayMakeShowDir() {
  const char* dir = made.showDir;
  struct stat s;
  replacing = false;
  if (lstat(dir, &s) != 0) return true;
  if (!made.force)
    return Fail(kMakeProgram, "%s exists: name another folder, or replace it with --force", dir);
  if (!S_ISDIR(s.st_mode))
    return Fail(kMakeProgram, "%s is not a show folder: --force replaces only show folders", dir);
  if (!ReadOldShow(dir)) return false;
  for (int i = 0; i < made.inputCount; ++i)
    if (Inside(made.inputs[i], dir))
      return Fail(kMakeProgram, "%s lies in %s, which --force would replace: name another folder",
                  made.inputs[i], dir);
  for (const char* file : {made.background, made.logo, made.end, made.captions, made.music})
    if (file && Inside(file, dir))
      return Fail(kMakeProgram, "%s lies in %s, which --force would replace: name another folder",
                  file, dir);
  // A photo the presenter put in gfx/ under a name the new show needs.
  const int photos = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  for (int k = 1; k <= photos; ++k) {
    const PhotoFileName name = PhotoName(k);
    char path[kMakePath + 32];
    snprintf(path, sizeof path, "%s/%s", dir, name.path);
    if (!MadeByUs("gfx", name.file) && access(path, F_OK) == 0)
      return Fail(kMakeProgram,
                  "%s was not made by tolvane-make, and the new show needs its name: move it "
                  "away first",
                  path);
  }
  replacing = true;
  return true;
}

bool KeepsOldCaptions() {
  return keepOldCaptions;
}

const ShowSources* OldSources() {
  return replacing && oldRecorded ? &oldSources : nullptr;
}

// SHOWDIR without trailing slashes, its parent folder and its last name.
static void SplitShowDir(char* parent, char* name, size_t size) {
  char dir[kMakePath];
  snprintf(dir, sizeof dir, "%s", made.showDir);
  for (size_t n = strlen(dir); n > 1 && dir[n - 1] == '/'; --n) dir[n - 1] = '\0';
  const char* slash = strrchr(dir, '/');
  if (!slash) {
    snprintf(parent, size, ".");
    snprintf(name, size, "%s", dir);
  } else {
    snprintf(parent, size, "%.*s", static_cast<int>(slash == dir ? 1 : slash - dir), dir);
    snprintf(name, size, "%s", slash + 1);
  }
}

// Removes the files tolvane-make makes in a show or work folder, by name, and the folder
// when nothing else is left in it; only what a signal handler may call. Whether it is gone.
static bool RemoveMadeFiles(const char* dir, size_t length) {
  char path[kMakePath + 64];
  auto at = [&](const char* part, const char* name = "", const char* more = "") {
    size_t n = length;
    memcpy(path, dir, n);
    for (const char* piece : {part, name, more}) {
      memcpy(path + n, piece, strlen(piece));
      n += strlen(piece);
    }
    path[n] = '\0';
    return path;
  };
  char photo[] = "fotoNN.jpg", work[] = ".photoNN.jpg";
  for (int k = 0; k <= kMaxPhotos; ++k) {
    photo[4] = work[6] = static_cast<char>('0' + k / 10);
    photo[5] = work[7] = static_cast<char>('0' + k % 10);
    for (const char* folder : {kPictureDir, kLargeDir}) {
      unlink(at("/", folder, photo));
      unlink(at("/", folder, work));
    }
  }
  for (const char* file : kShowFiles) unlink(at("/", file));
  for (const PictureName& picture : kShowPictures)
    unlink(at("/", kLargeDir, picture.file + strlen(kPictureDir)));
  // The caption files of a work folder hold a copy of the presenter's text only: its record
  // is written before them, and says it is one of ours.
  if (access(at("/", kSourcesFile), F_OK) == 0) {
    unlink(at("/", kCaptionFile));
    unlink(at("/", kRemovedCaptionFile));
    unlink(at("/", kSourcesFile));
  }
  rmdir(at("/", kLargeDir));
  rmdir(at("/gfx"));
  rmdir(at("/sfx"));
  return rmdir(at("")) == 0;
}

// The work folder while it is being filled, for an interruption to remove; it is locked
// while this run lives, so that another run tells it from one a killed run left.
static char workDir[kMakePath];
static size_t workLength;
static int workLock = -1;

// Ctrl-C or a kill while the folder is made: its files are removed by name (the handler may
// not walk folders), then the signal ends the program as it would have.
static void RemoveWorkAndStop(int signal) {
  if (workLength) RemoveMadeFiles(workDir, workLength);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

static void Watch(const char* dir) {
  snprintf(workDir, sizeof workDir, "%s", dir);
  workLength = strlen(workDir);
  // A signal ignored when the program started (a background job's Ctrl-C) stays ignored.
  for (int s : {SIGINT, SIGTERM, SIGHUP})
    if (signal(s, RemoveWorkAndStop) == SIG_IGN) signal(s, SIG_IGN);
}

void ForgetWorkFolder() {
  for (int s : {SIGINT, SIGTERM, SIGHUP})
    if (signal(s, SIG_DFL) == SIG_IGN) signal(s, SIG_IGN);
  workLength = 0;
}

// Work folders of SHOWDIR that runs killed outright left behind: removed, but for what
// tolvane-make did not make, which is left with a line.
void RemoveStaleWork() {
  char parent[kMakePath], name[kMakePath], prefix[kMakePath + 16];
  SplitShowDir(parent, name, sizeof parent);
  snprintf(prefix, sizeof prefix, ".%s.making-", name);
  const size_t n = strlen(prefix);
  std::vector<std::string> stale;
  ForEachEntry(parent, [&](const char* entry) {
    if (strncmp(entry, prefix, n) == 0 && strlen(entry) == n + 6) stale.push_back(entry);
    return stale.size() < 1000;
  });
  for (const std::string& entry : stale) {
    char path[2 * kMakePath];
    snprintf(path, sizeof path, "%s%s%s", strcmp(parent, ".") == 0 ? "" : parent,
             strcmp(parent, ".") == 0 ? "" : "/", entry.c_str());
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) continue;
    // A run that still lives holds its lock.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (RemoveMadeFiles(path, strlen(path)))
        fprintf(stderr, "tolvane-make: removed %s, left by a run that was stopped\n", path);
      else
        fprintf(stderr,
                "tolvane-make: %s, left by a run that was stopped, holds files tolvane-make did "
                "not make: left as it is\n",
                path);
    }
    close(fd);
  }
}

bool MakeWorkFolder(char* dir, size_t size) {
  char parent[kMakePath], name[kMakePath];
  SplitShowDir(parent, name, sizeof parent);
  snprintf(dir, size, "%s/.%s.making-XXXXXX", parent, name);
  if (!mkdtemp(dir))
    return Fail(kMakeProgram, "cannot make a folder in %s: %s", parent, strerror(errno));
  Watch(dir);
  workLock = open(dir, O_RDONLY | O_DIRECTORY);
  if (workLock >= 0) flock(workLock, LOCK_EX | LOCK_NB);
  // mkdtemp keeps the folder to its owner; a show folder is as open as any other folder.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(dir, 0777 & ~mask);
  return MakeShowFolders(kMakeProgram, dir);
}

static int RemoveOne(const char* path, const struct stat*, int, struct FTW*) {
  remove(path);
  return 0;
}

void RemoveTree(const char* dir) {
  nftw(dir, RemoveOne, 16, FTW_DEPTH | FTW_PHYS);
}

// The entries moved from the old show into the new one, to be moved back if need be.
static std::vector<std::string> carried;
// Whether the file system lacks the renames that refuse to replace and that exchange.
static bool noAtomicRename = false;

// Moves each entry of the old show `from` that tolvane-make did not make into `to`, in the
// top folder, gfx/ and sfx/, never over anything. False with a message.
static bool CarryOver(const char* from, const char* to) {
  bool ok = true;
  auto move = [&](const char* sub, const char* name) {
    char a[2 * kMakePath], b[2 * kMakePath];
    snprintf(a, sizeof a, "%s/%s%s%s", from, sub, sub[0] ? "/" : "", name);
    snprintf(b, sizeof b, "%s/%s%s%s", to, sub, sub[0] ? "/" : "", name);
    if (renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_NOREPLACE) == 0) {
      carried.push_back(std::string(sub) + (sub[0] ? "/" : "") + name);
      return true;
    }
    // A file system that cannot refuse to replace cannot exchange either: InstallOver
    // then replaces the show's files in place.
    noAtomicRename = errno == EINVAL || errno == ENOSYS;
    ok = noAtomicRename
             ? false
             : Fail(kMakeProgram, "cannot keep %s in the new show: %s", a, strerror(errno));
    return false;
  };
  char sub[kMakePath + 8];
  for (const char* folder : {"gfx", largeSub.c_str(), "sfx"}) {
    snprintf(sub, sizeof sub, "%s/%s", from, folder);
    if (IsRealDir(sub))
      ForEachEntry(sub, [&](const char* name) {
        char path[2 * kMakePath + 8];
        snprintf(path, sizeof path, "%s/%s", sub, name);
        return IsShowSubFolder(folder, name, path) || MadeByUs(folder, name) || move(folder, name);
      });
  }
  if (!ok) return false;
  ForEachEntry(from, [&](const char* name) {
    char path[2 * kMakePath];
    snprintf(path, sizeof path, "%s/%s", from, name);
    return IsShowSubFolder("", name, path) || MadeByUs("", name) || move("", name);
  });
  return ok;
}

// Puts the carried entries back where they were.
static void MoveBack(const char* from, const char* to) {
  for (const std::string& entry : carried) {
    char a[2 * kMakePath], b[2 * kMakePath];
    snprintf(a, sizeof a, "%s/%s", from, entry.c_str());
    snprintf(b, sizeof b, "%s/%s", to, entry.c_str());
    renameat2(AT_FDCWD, a, AT_FDCWD, b, RENAME_NOREPLACE);
  }
  carried.clear();
}

// Where the file system cannot exchange two names: the new show's files take the old ones'
// places in SHOWDIR one by one, so that SHOWDIR never goes missing and nothing of the
// presenter's is moved; then the old show's photos past the new ones are removed.
static bool ReplaceInPlace(const char* dir, int shown) {
  for (const char* folder : {"", "gfx", largeSub.c_str(), "sfx"}) {
    char from[kMakePath + 8], to[kMakePath + 8];
    snprintf(from, sizeof from, "%s/%s", dir, folder);
    snprintf(to, sizeof to, "%s/%s", made.showDir, folder);
    if (folder[0] && mkdir(to, 0777) != 0 && errno != EEXIST)
      return Fail(kMakeProgram, "cannot make %s: %s", to, strerror(errno));
    bool ok = true;
    ForEachEntry(from, [&](const char* name) {
      char a[2 * kMakePath], b[2 * kMakePath];
      snprintf(a, sizeof a, "%s/%s", from, name);
      if (IsShowSubFolder(folder, name, a)) return true;
      snprintf(b, sizeof b, "%s/%s", to, name);
      if (access(b, F_OK) == 0 && !MadeByUs(folder, name))
        ok = Fail(kMakeProgram,
                  "%s was not made by tolvane-make: it is left as it is, and the new show is "
                  "incomplete",
                  b);
      else if (rename(a, b) != 0)
        ok = Fail(kMakeProgram, "cannot put %s in place: %s", b, strerror(errno));
      return ok;
    });
    if (!ok) return false;
  }
  for (int k = shown + 1; k <= kMaxPhotos; ++k) {
    const PhotoFileName name = PhotoName(k);
    char path[kMakePath + 32];
    snprintf(path, sizeof path, "%s/%s", made.showDir, name.path);
    if (replacing && MadeByUs("gfx", name.file)) unlink(path);
    if (replacing && MadeByUs(largeSub.c_str(), name.file))
      unlink(LargePath(made.showDir, name.path).c_str());
  }
  RemoveMadeFiles(dir, strlen(dir));
  return true;
}

// The new show in SHOWDIR's place when nothing is there: never over anything that appeared
// there meanwhile.
static int InstallNew(const char* dir, int shown) {
  if (renameat2(AT_FDCWD, dir, AT_FDCWD, made.showDir, RENAME_NOREPLACE) == 0) return kMadeOk;
  if (errno == EEXIST || errno == ENOTEMPTY) {
    Fail(kMakeProgram,
         "%s appeared while the show was made: it is left as it is, and nothing was made",
         made.showDir);
    return kMakeUsage;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    Fail(kMakeProgram, "cannot name the new show %s: %s", made.showDir, strerror(errno));
    return kMakeWrite;
  }
  // A file system that cannot refuse to replace: mkdir can.
  if (mkdir(made.showDir, 0777) != 0) {
    const int error = errno;
    Fail(kMakeProgram, "cannot make %s: %s%s", made.showDir, strerror(error),
         error == EEXIST ? " (it appeared while the show was made); nothing was made" : "");
    return error == EEXIST ? kMakeUsage : kMakeWrite;
  }
  return ReplaceInPlace(dir, shown) ? kMadeOk : kMakeWrite;
}

// The new show in the old one's place: the presenter's files moved into it, then the two
// exchanged in one step, and the old show's own files removed.
static int InstallOver(const char* dir, int shown) {
  struct stat s;
  if (lstat(made.showDir, &s) != 0) return InstallNew(dir, shown);
  // Looked at again just before: what the presenter did meanwhile counts, but for the
  // caption file the new show was made with.
  const bool keep = keepOldCaptions;
  if (!S_ISDIR(s.st_mode)) {
    Fail(kMakeProgram, "%s is no longer a folder: it is left as it is, and nothing was made",
         made.showDir);
    return kMakeUsage;
  }
  if (!ReadOldShow(made.showDir)) return kMakeUsage;
  keepOldCaptions = keep;
  carried.clear();
  if (!CarryOver(made.showDir, dir)) {
    MoveBack(dir, made.showDir);
    if (noAtomicRename) return ReplaceInPlace(dir, shown) ? kMadeOk : kMakeWrite;
    return kMakeWrite;
  }
  if (renameat2(AT_FDCWD, dir, AT_FDCWD, made.showDir, RENAME_EXCHANGE) != 0) {
    const int error = errno;
    MoveBack(dir, made.showDir);
    if (error == EINVAL || error == ENOSYS)
      return ReplaceInPlace(dir, shown) ? kMadeOk : kMakeWrite;
    Fail(kMakeProgram, "cannot put the new show in %s: %s", made.showDir, strerror(error));
    return kMakeWrite;
  }
  // `dir` now holds the old show: what appeared in it meanwhile goes to the new one too.
  if (!CarryOver(dir, made.showDir) || !RemoveMadeFiles(dir, strlen(dir)))
    Fail(kMakeProgram, "the old show, in %s, holds files tolvane-make did not make: left as it is",
         dir);
  return kMadeOk;
}

int InstallFolder(const char* dir, int shown, bool& interrupted) {
  // Ctrl-C, a hang-up or a kill waits until the new show is in place and the old one gone.
  sigset_t stops, before;
  sigemptyset(&stops);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, signal);
  sigprocmask(SIG_BLOCK, &stops, &before);
  const int status = replacing ? InstallOver(dir, shown) : InstallNew(dir, shown);
  if (status != kMadeOk && !RemoveMadeFiles(dir, strlen(dir)))
    Fail(kMakeProgram, "%s holds files tolvane-make did not make: left as it is", dir);
  ForgetWorkFolder();
  // A stop asked for meanwhile ends the run once the folder is settled, without its check.
  const timespec now = {0, 0};
  interrupted = false;
  while (sigtimedwait(&stops, nullptr, &now) > 0) interrupted = true;
  sigprocmask(SIG_SETMASK, &before, nullptr);
  return status;
}

static bool WriteBytes(const char* path, const unsigned char* data, size_t size) {
  FILE* out = fopen(path, "wb");
  if (!out) return Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno));
  const bool ok = fwrite(data, 1, size, out) == size;
  if (fclose(out) != 0 || !ok)
    return Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno));
  return true;
}

// One of the five pictures and its large source: the presenter's own file, or the design with
// the title. An exit status.
static int WritePicture(const char* dir, Design design, const char* own, bool logo) {
  char path[kMakePath], why[256];
  snprintf(path, sizeof path, "%s/%s", dir, kDesignFiles[design]);
  const std::string large = LargePath(dir, kDesignFiles[design]);
  if (!own) {
    for (const auto& [to, scale] : {std::pair{static_cast<const char*>(path), kShowScale},
                                    std::pair{large.c_str(), kLargeScale}})
      if (!WriteDesign(design, to, made.title, made.subtitle, TOLVANE_FONT_DIR, scale)) {
        Fail(kMakeProgram, "cannot draw %s", to);
        return kMakeWrite;
      }
    return kMadeOk;
  }
  bool unwritten = false;
  const bool ok = logo ? PrepareLogo(own, path, large.c_str(), why, sizeof why, unwritten)
                       : PrepareScreenPicture(own, path, large.c_str(), why, sizeof why, unwritten);
  if (ok) return kMadeOk;
  if (unwritten) return Fail(kMakeProgram, "cannot write %s: %s", path, why), kMakeWrite;
  return Fail(kMakeProgram, "%s: %s", own, why), kMakeBadFile;
}

// The record of the shown photos' sources; with the digest of captions.txt when it is
// the template.
static bool WriteRecord(const char* dir, bool isTemplate, const std::string& captions) {
  static ShowSources record;
  record = ShowSources{};
  const int total = photoCount < kMaxPhotos ? photoCount : kMaxPhotos;
  for (int i = 0; i < total; ++i) {
    if (photos[i].bad) continue;
    PhotoSource& p = record.photo[record.photos++];
    if (!realpath(photos[i].path, p.path)) {
      const size_t n = strnlen(photos[i].path, sizeof p.path - 1);
      memcpy(p.path, photos[i].path, n);
      p.path[n] = '\0';
    }
    p.digest = photos[i].digest;
    p.width = photos[i].width;
    p.height = photos[i].height;
  }
  record.isTemplate = isTemplate;
  record.captions = Digest(captions.data(), captions.size());
  char path[kMakePath];
  snprintf(path, sizeof path, "%s/%s", dir, kSourcesFile);
  return WriteSources(path, record) ||
         Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno));
}

int WriteShowFiles(const char* dir) {
  int status = kMadeOk;
  for (const auto& [design, own, logo] :
       {std::tuple{kLoadingCornerDesign, (const char*)nullptr, false},
        std::tuple{kLoadingDesign, (const char*)nullptr, false},
        std::tuple{kBackgroundDesign, made.background, false},
        std::tuple{kLogoDesign, made.logo, true}, std::tuple{kEndDesign, made.end, false}})
    if (status == kMadeOk) status = WritePicture(dir, design, own, logo);
  if (status != kMadeOk) return status;
  if (!CopyShowFont(kMakeProgram, TOLVANE_FONT_DIR, dir)) return kMakeWrite;
  char path[kMakePath];
  snprintf(path, sizeof path, "%s/%s", dir, kMusicFile);
  if (made.music ? !CopyFile(kMakeProgram, made.music, path)
                 : !WriteBytes(path, demoModule, demoModuleEnd - demoModule))
    return kMakeWrite;
  // The record before the captions: a work folder's caption files are known by it as ours.
  std::string captions, removed;
  bool isTemplate = false;
  const bool compose = !made.captions && !KeepsOldCaptions();
  if (compose && !ComposeCaptions(captions, removed, isTemplate)) return kMakeBadFile;
  if (!WriteRecord(dir, compose && isTemplate, captions)) return kMakeWrite;
  snprintf(path, sizeof path, "%s/%s", dir, kCaptionFile);
  if (made.captions) return CopyFile(kMakeProgram, made.captions, path) ? kMadeOk : kMakeWrite;
  if (!compose) return kMadeOk;  // the old show's own, moved in with the presenter's files
  if (!WriteBytes(path, reinterpret_cast<const unsigned char*>(captions.data()), captions.size()))
    return kMakeWrite;
  snprintf(path, sizeof path, "%s/%s", dir, kRemovedCaptionFile);
  if (!removed.empty() &&
      !WriteBytes(path, reinterpret_cast<const unsigned char*>(removed.data()), removed.size()))
    return kMakeWrite;
  return kMadeOk;
}
