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

// The old show as the live run judges it: its record, and which of its caption files stay
// the presenter's.
static Judging OldShow(const char* dir) {
  Judging j{};
  j.dir = dir;
  j.record = oldRecorded ? &oldSources : nullptr;
  j.keepCaptions = keepOldCaptions;
  j.keepRemoved = made.captions != nullptr;
  return j;
}

// A folder that holds nothing but a show's own files, as an older tolvane-make made them.
static bool OnlyShowFiles(const char* dir) {
  std::vector<std::string> entries;
  if (!ListShow(dir, entries, "")) return false;
  for (const std::string& path : entries)
    if (!IsMadeName(path.c_str()) && path != kCaptionFile) return false;
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
  if (!RefuseSpecial(kMakeProgram, record)) return false;
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

int MayMakeShowDir() {
  const char* dir = made.showDir;
  struct stat s;
  replacing = false;
  if (lstat(dir, &s) != 0) return kMadeOk;
  if (!made.force) {
    Fail(kMakeProgram, "%s exists: name another folder, or replace it with --force", dir);
    return kMakeUsage;
  }
  if (!S_ISDIR(s.st_mode)) {
    Fail(kMakeProgram, "%s is not a show folder: --force replaces only show folders", dir);
    return WhySpecial(dir) ? kMakeBadFile : kMakeUsage;
  }
  // Files the remake reads: none may be a named pipe.
  for (const char* file : {kSourcesFile, kCaptionFile, kRemovedCaptionFile}) {
    char path[kMakePath + 32];
    snprintf(path, sizeof path, "%s/%s", dir, file);
    if (!RefuseSpecial(kMakeProgram, path)) return kMakeBadFile;
  }
  if (!ReadOldShow(dir)) return kMakeUsage;
  for (int i = 0; i < made.inputCount; ++i)
    if (Inside(made.inputs[i], dir)) {
      Fail(kMakeProgram, "%s lies in %s, which --force would replace: name another folder",
           made.inputs[i], dir);
      return kMakeUsage;
    }
  for (const char* file : {made.background, made.logo, made.end, made.captions, made.music})
    if (file && Inside(file, dir)) {
      Fail(kMakeProgram, "%s lies in %s, which --force would replace: name another folder", file,
           dir);
      return kMakeUsage;
    }
  replacing = true;
  return kMadeOk;
}

bool KeepsOldCaptions() {
  return keepOldCaptions;
}

const ShowSources* OldSources() {
  return replacing && oldRecorded ? &oldSources : nullptr;
}

void SplitShowDir(char* parent, char* name, size_t size) {
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
  char path[kMakePath + 96];
  auto at = [&](const char* name) {
    memcpy(path, dir, length);
    path[length] = '/';
    memcpy(path + length + 1, name, strlen(name) + 1);
    return path;
  };
  for (int i = 0; i < MadeNameCount(); ++i) unlink(at(MadeName(i)));
  for (int i = 0; i < WorkNameCount(); ++i) unlink(at(WorkName(i)));
  // The caption files of a work folder hold a copy of the presenter's text only: its record
  // is written before them, and says it is one of ours.
  if (access(at(kSourcesFile), F_OK) == 0) {
    unlink(at(kCaptionFile));
    unlink(at(kRemovedCaptionFile));
    unlink(at(kSourcesFile));
  }
  for (int i = 0; i < MadeFolderCount(); ++i) rmdir(at(MadeFolder(i)));
  path[length] = '\0';
  return rmdir(path) == 0;
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

// Moves each of the presenter's files in the old show into the new one `to`, under the same
// name, never over anything; the made files, changed or not, stay. False with a message.
static bool CarryOwn(const char* to) {
  std::vector<std::string> entries;
  const Judging old = OldShow(made.showDir);
  ListShow(made.showDir, entries, "");
  for (const std::string& path : entries) {
    if (Judge(old, path.c_str()) != kOwnFile) continue;
    if (MoveEntry(made.showDir, to, path, path)) {
      carried.push_back(path);
      continue;
    }
    // A file system that cannot refuse to replace cannot exchange either: InstallOver
    // then replaces the show's files in place.
    noAtomicRename = errno == EINVAL || errno == ENOSYS;
    return noAtomicRename ? false
                          : Fail(kMakeProgram, "cannot keep %s/%s in the new show: %s",
                                 made.showDir, path.c_str(), strerror(errno));
  }
  return true;
}

// Puts the carried entries back where they were.
static void MoveBack(const char* from) {
  for (const std::string& path : carried) MoveEntry(from, made.showDir, path, path);
  carried.clear();
}

// Where the file system cannot exchange two names: the new show's files take the old ones'
// places in SHOWDIR one by one, so that SHOWDIR never goes missing and nothing of the
// presenter's is lost (a changed made file is kept as own/...); then the old show's photos
// past the new ones are removed.
static bool ReplaceInPlace(const char* dir, int shown) {
  std::vector<std::string> entries;
  ListShow(dir, entries, "");
  const Judging old = OldShow(made.showDir);
  for (const std::string& path : entries) {
    const std::string a = std::string(dir) + "/" + path, b = std::string(made.showDir) + "/" + path;
    const Fate fate = access(b.c_str(), F_OK) == 0 ? Judge(old, path.c_str()) : kMadeFile;
    std::string into;
    if (fate == kOwnFile)
      return Fail(kMakeProgram,
                  "%s was not made by tolvane-make: it is left as it is, and the new show is "
                  "incomplete",
                  b.c_str());
    if (fate == kChangedFile && KeepAsOwn(made.showDir, made.showDir, path, into))
      fprintf(stderr, "tolvane-make: %s is no longer as tolvane-make made it: kept as %s/%s\n",
              b.c_str(), made.showDir, into.c_str());
    MakeParents(made.showDir, path);
    if (rename(a.c_str(), b.c_str()) != 0)
      return Fail(kMakeProgram, "cannot put %s in place: %s", b.c_str(), strerror(errno));
  }
  for (int k = shown + 1; k <= kMaxPhotos; ++k)
    for (const std::string& file :
         {std::string(PhotoName(k).path), std::string(kLargeDir) + PhotoName(k).file}) {
      char path[kMakePath + 32];
      snprintf(path, sizeof path, "%s/%s", made.showDir, file.c_str());
      if (access(path, F_OK) != 0) continue;
      std::string into;
      if (Judge(old, file.c_str()) == kMadeFile)
        unlink(path);
      else if (KeepAsOwn(made.showDir, made.showDir, file.c_str(), into))
        fprintf(stderr, "tolvane-make: %s is not a photo of the new show: kept as %s/%s\n", path,
                made.showDir, into.c_str());
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

// The new show in the old one's place: the presenter's files moved into it, the two exchanged
// in one step, then the old show, now under the work folder's name, settled: its made files
// removed, whatever else it holds moved to SHOWDIR. A kill at any moment leaves SHOWDIR the
// old show or the new one, whole, and the presenter's files in SHOWDIR or the work folder,
// from which the next run brings them back (RecoverStaleWork).
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
  if (!CarryOwn(dir)) {
    MoveBack(dir);
    if (noAtomicRename) return ReplaceInPlace(dir, shown) ? kMadeOk : kMakeWrite;
    return kMakeWrite;
  }
  // The old show keeps a lock while it settles under the work folder's name.
  const int oldLock = open(made.showDir, O_RDONLY | O_DIRECTORY);
  if (oldLock >= 0) flock(oldLock, LOCK_EX | LOCK_NB);
  if (renameat2(AT_FDCWD, dir, AT_FDCWD, made.showDir, RENAME_EXCHANGE) != 0) {
    const int error = errno;
    if (oldLock >= 0) close(oldLock);
    MoveBack(dir);
    if (error == EINVAL || error == ENOSYS)
      return ReplaceInPlace(dir, shown) ? kMadeOk : kMakeWrite;
    Fail(kMakeProgram, "cannot put the new show in %s: %s", made.showDir, strerror(error));
    return kMakeWrite;
  }
  SettleCount count;
  const int failures = Settle(OldShow(dir), made.showDir, count);
  if (failures || !RemoveEmptyShow(dir))
    Fail(kMakeProgram, "the old show, in %s, could not be emptied: it is left as it is", dir);
  if (oldLock >= 0) close(oldLock);
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

// Writes the bytes to `path` through the work folder's kPartFile, so that a run killed
// meanwhile leaves no half file under the name.
static bool WriteBytes(const char* dir, const char* name, const void* data, size_t size) {
  char part[kMakePath + 32], path[kMakePath + 32];
  snprintf(part, sizeof part, "%s/%s", dir, kPartFile);
  snprintf(path, sizeof path, "%s/%s", dir, name);
  FILE* out = OpenPlain(part, "wb");
  if (!out) return Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno));
  const bool ok = fwrite(data, 1, size, out) == size;
  if (fclose(out) != 0 || !ok || rename(part, path) != 0)
    return Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno));
  return true;
}

// One of the five pictures and its large source: the presenter's own file, the old show's
// pictures made from it (a kept choice), or the design with the title. An exit status.
static int WritePicture(const char* dir, Design design, const char* own, bool logo) {
  char path[kMakePath], why[256];
  snprintf(path, sizeof path, "%s/%s", dir, kDesignFiles[design]);
  const std::string large = LargePath(dir, kDesignFiles[design]);
  if (const char* copy = KeptCopy(kDesignFiles[design])) {
    if (!CopyFile(kMakeProgram, copy, path)) return kMakeWrite;
    // Its large source beside it, where the old show has one.
    const std::string oldShow(copy, strlen(copy) - strlen(kDesignFiles[design]) - 1);
    const std::string oldLarge = LargePath(oldShow.c_str(), kDesignFiles[design]);
    if (access(oldLarge.c_str(), F_OK) != 0) return kMadeOk;
    return CopyFile(kMakeProgram, oldLarge.c_str(), large.c_str()) ? kMadeOk : kMakeWrite;
  }
  if (!own) {
    for (const auto& [to, scale] : {std::pair{static_cast<const char*>(path), kShowScale},
                                    std::pair{large.c_str(), kLargeScale}})
      if (!WriteDesign(design, to, made.title, made.subtitle, TOLVANE_FONT_DIR, made.endText,
                       scale)) {
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

// Lists the made file `name` with its digest: from `text` when given, else from the file
// `from`, else from the file in `dir`.
static void ListMade(ShowSources& record, const char* dir, const char* name,
                     const std::string* text = nullptr, const char* from = nullptr) {
  MadeFile& m = record.madeFile[record.made];
  char path[kMakePath + 96];
  snprintf(path, sizeof path, "%s/%s", dir, name);
  if (from) snprintf(path, sizeof path, "%s", from);
  if (text)
    m.digest = Digest(text->data(), text->size());
  else if (access(path, F_OK) != 0 || !FileDigest(path, m.digest))
    return;
  snprintf(m.path, sizeof m.path, "%s", name);
  ++record.made;
}

// The record: the shown photos' sources, the digest of captions.txt when it is the template,
// every file made with its digest (the caption files' from their text: they are written after
// it), and the choices of the make.
static bool WriteRecord(const char* dir, bool isTemplate, const std::string* captions,
                        const std::string* removed) {
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
    p.captionTemplate = photos[i].captionTemplate;
    p.caption = photos[i].caption;
  }
  record.isTemplate = isTemplate;
  record.captions = captions ? Digest(captions->data(), captions->size()) : 0;
  for (int i = 0; i < MadeNameCount() && record.made < kMostMadeFiles - 2; ++i)
    ListMade(record, dir, MadeName(i));
  if (captions) ListMade(record, dir, kCaptionFile, captions);
  if (made.captions) ListMade(record, dir, kCaptionFile, nullptr, made.captions);
  if (removed && !removed->empty()) ListMade(record, dir, kRemovedCaptionFile, removed);
  RecordChoices(record);
  char part[kMakePath], path[kMakePath];
  snprintf(part, sizeof part, "%s/%s", dir, kPartFile);
  snprintf(path, sizeof path, "%s/%s", dir, kSourcesFile);
  return (WriteSources(part, record) && rename(part, path) == 0) ||
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
  const char* music = KeptCopy(kMusicFile) ? KeptCopy(kMusicFile) : made.music;
  if (music ? !CopyFile(kMakeProgram, music, path)
            : !WriteBytes(dir, kMusicFile, demoModule, demoModuleEnd - demoModule))
    return kMakeWrite;
  // The record before the captions: a work folder's caption files are known by it as ours.
  std::string captions, removed;
  bool isTemplate = false;
  const bool compose = !made.captions && !KeepsOldCaptions();
  if (compose && !ComposeCaptions(captions, removed, isTemplate)) return kMakeBadFile;
  if (!WriteRecord(dir, compose && isTemplate, compose ? &captions : nullptr,
                   compose ? &removed : nullptr))
    return kMakeWrite;
  if (made.captions) {
    // Through kPartFile too: a half copy is no copy.
    char part[kMakePath];
    snprintf(part, sizeof part, "%s/%s", dir, kPartFile);
    snprintf(path, sizeof path, "%s/%s", dir, kCaptionFile);
    if (!CopyFile(kMakeProgram, made.captions, part)) return kMakeWrite;
    return rename(part, path) == 0
               ? kMadeOk
               : (Fail(kMakeProgram, "cannot write %s: %s", path, strerror(errno)), kMakeWrite);
  }
  if (!compose) return kMadeOk;  // the old show's own, moved in with the presenter's files
  if (!WriteBytes(dir, kCaptionFile, captions.data(), captions.size())) return kMakeWrite;
  if (!removed.empty() && !WriteBytes(dir, kRemovedCaptionFile, removed.data(), removed.size()))
    return kMakeWrite;
  return kMadeOk;
}
