// Whose each file of a show folder is, and where it goes when a remake replaces the show: the
// files tolvane-make made (named in the record, their bytes as written) go with the old show;
// every other file is the presenter's and stays in SHOWDIR, a made file changed since under a
// name of its own (own/...). A run killed while the files move leaves them in its work folder,
// from which the next run brings them back.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "common.h"
#include "make.h"
#include "render.h"

// The names a make writes, relative to the show folder: the table every judgement and the
// removal of a work folder read. Filled once by ListMadeNames, before any signal is watched.
static char madeNames[kMostMadeFiles][64];
static int madeNameCount = 0;
// Names only a work folder holds, for files still being written.
static char workNames[2 * kMaxPhotos + 1][64];
static int workNameCount = 0;
// The folders that hold made names, deepest first.
static char madeFolders[8][64];
static int madeFolderCount = 0;

// Adds the folders above `name` to madeFolders, each once, and keeps them deepest first.
static void AddFolders(const char* name) {
  char folder[64];
  snprintf(folder, sizeof folder, "%.63s", name);
  while (char* slash = strrchr(folder, '/')) {
    *slash = '\0';
    bool known = false;
    for (int i = 0; i < madeFolderCount; ++i) known = known || strcmp(madeFolders[i], folder) == 0;
    if (!known && madeFolderCount < 8) snprintf(madeFolders[madeFolderCount++], 64, "%s", folder);
  }
  // Longer names lie deeper: the longest first.
  for (int i = 1; i < madeFolderCount; ++i)
    for (int k = i; k > 0 && strlen(madeFolders[k]) > strlen(madeFolders[k - 1]); --k) {
      char swap[64];
      memcpy(swap, madeFolders[k], 64);
      memcpy(madeFolders[k], madeFolders[k - 1], 64);
      memcpy(madeFolders[k - 1], swap, 64);
    }
}

void ListMadeNames() {
  if (madeNameCount) return;
  auto add = [](char(*table)[64], int& count, const char* name) {
    snprintf(table[count++], 64, "%s", name);
  };
  for (const char* file : kShowFiles) add(madeNames, madeNameCount, file);
  for (int k = 1; k <= kMaxPhotos; ++k) add(madeNames, madeNameCount, PhotoName(k).path);
  // The large sources beside the pictures and photos, in gfx/hd/.
  const size_t dir = strlen(kPictureDir);
  for (const PictureName& picture : kShowPictures) {
    char name[64];
    snprintf(name, sizeof name, "%s%s", kLargeDir, picture.file + dir);
    add(madeNames, madeNameCount, name);
  }
  for (int k = 1; k <= kMaxPhotos; ++k) {
    char name[64];
    snprintf(name, sizeof name, "%s%s", kLargeDir, PhotoName(k).file);
    add(madeNames, madeNameCount, name);
  }
  for (int k = 0; k < kMaxPhotos; ++k)
    for (bool large : {false, true}) {
      char name[64];
      WorkPhotoName(k, name, sizeof name, large);
      add(workNames, workNameCount, name);
    }
  add(workNames, workNameCount, kPartFile);
  for (int i = 0; i < madeNameCount; ++i) AddFolders(madeNames[i]);
}

int MadeFolderCount() {
  return madeFolderCount;
}

const char* MadeFolder(int i) {
  return madeFolders[i];
}

int WorkNameCount() {
  return workNameCount;
}

const char* WorkName(int i) {
  return workNames[i];
}

int MadeNameCount() {
  return madeNameCount;
}

const char* MadeName(int i) {
  return madeNames[i];
}

static bool InTable(const char (*table)[64], int count, const char* name) {
  for (int i = 0; i < count; ++i)
    if (strcmp(table[i], name) == 0) return true;
  return false;
}

bool IsMadeName(const char* path) {
  return InTable(madeNames, madeNameCount, path);
}

static bool IsWorkName(const char* path) {
  return InTable(workNames, workNameCount, path);
}

bool IsShowFolder(const char* path) {
  const size_t n = strlen(path);
  for (int i = 0; i < madeNameCount; ++i)
    if (strncmp(madeNames[i], path, n) == 0 && madeNames[i][n] == '/') return true;
  return false;
}

static bool Same(const char* dir, const char* path, unsigned long long digest) {
  char full[2 * kMakePath];
  snprintf(full, sizeof full, "%s/%s", dir, path);
  unsigned long long now = 0;
  return FileDigest(full, now) && now == digest;
}

// A made name by the record: made when listed with the same bytes; with an older record that
// lists no files, the photos it counts and the other files by their names.
static Fate JudgeMadeName(const Judging& j, const char* path) {
  if (!j.record) return kMadeFile;
  if (!j.record->listsMade) {
    const int k = strncmp(path, kPictureDir, strlen(kPictureDir)) == 0
                      ? PhotoNumber(path + strlen(kPictureDir), kMaxPhotos)
                      : 0;
    return k > j.record->photos ? kChangedFile : kMadeFile;
  }
  const MadeFile* m = FindMade(*j.record, path);
  return m && Same(j.dir, path, m->digest) ? kMadeFile : kChangedFile;
}

Fate Judge(const Judging& j, const char* path) {
  const bool captions = strcmp(path, kCaptionFile) == 0;
  const bool removed = strcmp(path, kRemovedCaptionFile) == 0;
  if (strcmp(path, kSourcesFile) == 0) return j.record ? kMadeFile : kOwnFile;
  if (j.stale && (captions || removed)) {
    // Known only by their bytes: a copy the record lists, else the presenter's, carried in.
    const MadeFile* m = j.record ? FindMade(*j.record, path) : nullptr;
    return m && Same(j.dir, path, m->digest) ? kMadeFile : kOwnFile;
  }
  if (captions) return j.keepCaptions ? kOwnFile : kMadeFile;
  if (removed) return j.record && !j.keepRemoved ? kMadeFile : kOwnFile;
  // A work folder's half-written files are ours whatever they hold.
  if (j.stale && IsWorkName(path)) return kMadeFile;
  if (IsMadeName(path)) return JudgeMadeName(j, path);
  return kOwnFile;
}

// Folders are read up to this many entries: a show folder holds some sixty files, and a
// presenter's many more; the bound keeps a walk over a strange folder finite.
constexpr int kMostEntries = 1000000;

bool IsRealDir(const char* path) {
  struct stat s;
  return lstat(path, &s) == 0 && S_ISDIR(s.st_mode);
}

// The entries of the show folder `dir`, relative to it: the top and, within, the show's own
// folders (an entry that is one is walked, not listed). False when a folder cannot be read.
bool ListShow(const char* dir, std::vector<std::string>& entries, const char* sub) {
  char path[2 * kMakePath];
  snprintf(path, sizeof path, "%s%s%s", dir, sub[0] ? "/" : "", sub);
  DIR* d = opendir(path);
  if (!d) return false;
  std::vector<std::string> folders;
  int n = 0;
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (++n > kMostEntries) break;
    const std::string rel = std::string(sub) + (sub[0] ? "/" : "") + e->d_name;
    snprintf(path, sizeof path, "%s/%s", dir, rel.c_str());
    if (IsShowFolder(rel.c_str()) && IsRealDir(path))
      folders.push_back(rel);
    else
      entries.push_back(rel);
  }
  closedir(d);
  bool ok = n <= kMostEntries;
  for (const std::string& folder : folders) ok = ListShow(dir, entries, folder.c_str()) && ok;
  return ok;
}

void MakeParents(const char* dir, const std::string& path) {
  for (size_t slash = path.find('/'); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = std::string(dir) + "/" + path.substr(0, slash);
    mkdir(folder.c_str(), 0777);
  }
}

bool MoveEntry(const char* from, const char* to, const std::string& path, const std::string& into) {
  const std::string a = std::string(from) + "/" + path, b = std::string(to) + "/" + into;
  MakeParents(to, into);
  return renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0;
}

// own/PATH, or own/NAME-2.EXT ... when that is taken: never over anything.
bool KeepAsOwn(const char* from, const char* to, const std::string& path, std::string& into) {
  const size_t slash = path.rfind('/'), dot = path.rfind('.');
  const size_t cut =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
  for (int n = 1; n <= 1000; ++n) {
    into = std::string(kOwnDir) + "/" + path.substr(0, cut) +
           (n == 1 ? "" : "-" + std::to_string(n)) + path.substr(cut);
    if (MoveEntry(from, to, path, into)) return true;
    if (errno != EEXIST && errno != ENOTEMPTY) return false;
  }
  return false;
}

int Settle(const Judging& j, const char* to, SettleCount& count) {
  std::vector<std::string> entries;
  ListShow(j.dir, entries, "");
  int failures = 0;
  // The record last: until it goes, a run killed meanwhile still knows the made files.
  std::string record;
  for (const std::string& path : entries) {
    const Fate fate = Judge(j, path.c_str());
    const std::string from = std::string(j.dir) + "/" + path;
    if (fate == kMadeFile && path == kSourcesFile) {
      record = from;
    } else if (fate == kMadeFile) {
      unlink(from.c_str());
    } else if (fate == kOwnFile && MoveEntry(j.dir, to, path, path)) {
      ++count.back;
    } else {
      std::string into;
      // A changed file the record lists, one it does not, or one whose name was taken.
      const bool listed = j.record && j.record->listsMade && FindMade(*j.record, path.c_str());
      if (KeepAsOwn(j.dir, to, path, into)) {
        fprintf(stderr, "tolvane-make: %s/%s %s: kept as %s/%s\n", made.showDir, path.c_str(),
                fate == kOwnFile ? "could not go back to its name"
                : listed         ? "is no longer as tolvane-make made it"
                                 : "was not made by tolvane-make",
                made.showDir, into.c_str());
        ++count.kept;
      } else {
        fprintf(stderr, "tolvane-make: cannot move %s into %s: %s\n", from.c_str(), to,
                strerror(errno));
        ++failures;
      }
    }
  }
  if (!record.empty()) unlink(record.c_str());
  return failures;
}

bool RemoveEmptyShow(const char* dir) {
  for (int i = 0; i < madeFolderCount; ++i)
    rmdir((std::string(dir) + "/" + madeFolders[i]).c_str());
  return rmdir(dir) == 0;
}

// One work folder that a killed run left: its made files removed, the presenter's moved back
// into SHOWDIR, with a line.
static void BringBack(const char* work) {
  static ShowSources record;
  char path[2 * kMakePath + 64];
  snprintf(path, sizeof path, "%s/%s", work, kSourcesFile);
  Judging j{};
  j.dir = work;
  j.stale = true;
  j.record = ReadSources(path, record) ? &record : nullptr;
  // SHOWDIR made again only for files to go into it: a first make killed leaves none.
  std::vector<std::string> entries;
  ListShow(work, entries, "");
  bool theirs = false;
  for (const std::string& entry : entries) theirs = theirs || Judge(j, entry.c_str()) != kMadeFile;
  if (theirs && !IsRealDir(made.showDir)) mkdir(made.showDir, 0777);
  SettleCount count;
  const int failures = Settle(j, made.showDir, count);
  const bool gone = RemoveEmptyShow(work);
  if (count.back)
    fprintf(stderr,
            "tolvane-make: brought back %d file%s of %s from %s, left by a run that was "
            "stopped\n",
            count.back, count.back == 1 ? "" : "s", made.showDir, work);
  else if (gone)
    fprintf(stderr, "tolvane-make: removed %s, left by a run that was stopped\n", work);
  if (failures || !gone)
    fprintf(stderr, "tolvane-make: %s, left by a run that was stopped, could not be emptied\n",
            work);
}

void RecoverStaleWork() {
  char parent[kMakePath], name[kMakePath], prefix[kMakePath + 16];
  SplitShowDir(parent, name, sizeof parent);
  snprintf(prefix, sizeof prefix, ".%s.making-", name);
  const size_t n = strlen(prefix);
  std::vector<std::string> stale;
  DIR* d = opendir(parent);
  while (dirent* e = d ? readdir(d) : nullptr)
    if (strncmp(e->d_name, prefix, n) == 0 && strlen(e->d_name) == n + 6 && stale.size() < 1000)
      stale.push_back(e->d_name);
  if (d) closedir(d);
  for (const std::string& entry : stale) {
    char path[2 * kMakePath];
    snprintf(path, sizeof path, "%s%s%s", strcmp(parent, ".") == 0 ? "" : parent,
             strcmp(parent, ".") == 0 ? "" : "/", entry.c_str());
    const int fd = open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd < 0) continue;
    // A run that still lives holds its lock.
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) BringBack(path);
    close(fd);
  }
}
