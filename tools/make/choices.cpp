// The choices of a make, kept in the show's record so that a remake need not be given them
// again: each option of kChoices, its value as given (a file by its digest and path). A choice
// is one line of the table; the record, the remake's lines and the help follow from it.
#include <cinttypes>
#include <cstring>
#include <string>

#include "common.h"
#include "make.h"

namespace {

enum ChoiceKind {
  kChoiceText,  // any text: the value as given
  kChoiceWord,  // one of the words `valid` takes
  kChoiceFile,  // a presenter's file, made into the show's file `madeFile`
};

struct Choice {
  const char* option;  // as on the command line; the record's name is without "--"
  ChoiceKind kind;
  const char* MakeOptions::*value;  // where `made` holds it: the text given, or null
  const char* madeFile;             // kChoiceFile: the show's file made from it
  bool (*valid)(const char* word);  // kChoiceWord: whether the option takes the word
};

bool IsColour(const char* word) {
  unsigned char rgb[3];
  return ReadColour(word, rgb);
}

bool IsYesNo(const char* word) {
  return strcmp(word, "yes") == 0 || strcmp(word, "no") == 0;
}

bool IsOrder(const char* word) {
  PhotoOrder order;
  return ReadOrder(word, order);
}

const Choice kChoices[] = {
    {"--title", kChoiceText, &MakeOptions::title, nullptr, nullptr},
    {"--subtitle", kChoiceText, &MakeOptions::subtitle, nullptr, nullptr},
    {"--end-text", kChoiceText, &MakeOptions::endText, nullptr, nullptr},
    {"--matte", kChoiceWord, &MakeOptions::matteName, nullptr, IsColour},
    {"--fill", kChoiceWord, &MakeOptions::fillWord, nullptr, IsYesNo},
    {"--sort", kChoiceWord, &MakeOptions::sortWord, nullptr, IsOrder},
    {"--background", kChoiceFile, &MakeOptions::background, kBackName.text, nullptr},
    {"--logo", kChoiceFile, &MakeOptions::logo, kSiName.text, nullptr},
    {"--end", kChoiceFile, &MakeOptions::end, kEndName.text, nullptr},
    {"--music", kChoiceFile, &MakeOptions::music, kMusicFile, nullptr},
};
constexpr int kChoiceCount = sizeof kChoices / sizeof kChoices[0];

// What the record held for each choice (for a file, its digest and path), once judged.
std::string recorded[kChoiceCount];
bool isRecorded[kChoiceCount];
unsigned long long recordedDigest[kChoiceCount];
// The text of a kept choice, which `made` points into; the old show's file to copy.
std::string kept[kChoiceCount];
std::string copyFrom[kChoiceCount];

// A file choice's record value: "DIGEST PATH".
bool SplitFileValue(const std::string& value, unsigned long long& digest, std::string& path) {
  int at = 0;
  if (sscanf(value.c_str(), "%16llx %n", &digest, &at) != 1 || at != 17) return false;
  path = value.substr(at);
  return !path.empty();
}

// Reads the record's choices into `recorded`; false with the reason when one is not a choice
// this program takes, or not a value it takes.
bool JudgeRecord(const ShowSources& old, std::string& why) {
  if (old.choiceTrouble[0]) return why = old.choiceTrouble, false;
  for (int i = 0; i < old.choices; ++i) {
    const RecordedChoice& c = old.choice[i];
    int k = 0;
    while (k < kChoiceCount && strcmp(kChoices[k].option + 2, c.name) != 0) ++k;
    if (k == kChoiceCount) return why = std::string("no choice ") + c.name, false;
    if (isRecorded[k]) return why = std::string(c.name) + " twice", false;
    std::string path;
    const bool good = kChoices[k].kind == kChoiceText ? true
                      : kChoices[k].kind == kChoiceWord
                          ? kChoices[k].valid(c.value)
                          : SplitFileValue(c.value, recordedDigest[k], path);
    if (!good) return why = std::string("not a value of ") + c.name + ": " + c.value, false;
    recorded[k] = kChoices[k].kind == kChoiceFile ? path : c.value;
    isRecorded[k] = true;
  }
  return true;
}

// "--title "Summer 2026"", "--fill", "--background /home/eva/back.png".
std::string Describe(int k, const char* value) {
  const Choice& c = kChoices[k];
  if (c.value == &MakeOptions::fillWord) return strcmp(value, "yes") == 0 ? "--fill" : "no --fill";
  if (c.kind == kChoiceText) return std::string(c.option) + " \"" + value + "\"";
  return std::string(c.option) + " " + value;
}

// A kept file: the source given then when its bytes are the same, else the old show's file
// made from it while that is as made. False with a message when neither is.
bool KeepFile(int k) {
  const Choice& c = kChoices[k];
  unsigned long long now = 0;
  if (!WhySpecial(kept[k].c_str()) && FileDigest(kept[k].c_str(), now) && now == recordedDigest[k])
    return true;
  const ShowSources* old = OldSources();
  const MadeFile* m = FindMade(*old, c.madeFile);
  const std::string copy = std::string(made.showDir) + "/" + c.madeFile;
  if (m && FileDigest(copy.c_str(), now) && now == m->digest) {
    copyFrom[k] = copy;
    return true;
  }
  return Fail(kMakeProgram,
              "%s %s, kept from the last make: the file has changed or is gone, and so has %s; "
              "give %s again",
              c.option, kept[k].c_str(), copy.c_str(), c.option);
}

// Sets the matte, the fill and the order from their words.
void ApplyWords() {
  if (made.matteName) ReadColour(made.matteName, made.matte);
  made.fill = made.fillWord && strcmp(made.fillWord, "yes") == 0;
  if (made.sortWord) ReadOrder(made.sortWord, made.order);
}

void SayList(const char* heading, const std::string& list) {
  if (!list.empty()) fprintf(stderr, "tolvane-make: %s: %s\n", heading, list.c_str());
}

}  // namespace

int TakeRecordedChoices() {
  for (int k = 0; k < kChoiceCount; ++k) {
    isRecorded[k] = false;
    copyFrom[k].clear();
  }
  const ShowSources* old = OldSources();
  std::string why;
  if (old && !JudgeRecord(*old, why)) {
    fprintf(stderr,
            "tolvane-make: %s/%s: its choices cannot be read (%s): the remake takes none of "
            "them\n",
            made.showDir, kSourcesFile, why.c_str());
    for (bool& r : isRecorded) r = false;
  }
  std::string keptList, givenList;
  for (int k = 0; k < kChoiceCount && old; ++k) {
    if (!isRecorded[k]) continue;
    const char*& value = made.*kChoices[k].value;
    if (value) {
      givenList += (givenList.empty() ? "" : ", ") + Describe(k, value);
      continue;
    }
    kept[k] = recorded[k];
    value = kept[k].c_str();
    if (kChoices[k].kind == kChoiceFile && !KeepFile(k)) return kMakeBadFile;
    keptList += (keptList.empty() ? "" : ", ") + Describe(k, value) +
                (copyFrom[k].empty() ? "" : " (gone or changed: its picture of the last make)");
  }
  SayList("kept from the last make", keptList);
  SayList("given again, in place of the last make's", givenList);
  ApplyWords();
  return kMadeOk;
}

const char* KeptCopy(const char* name) {
  for (int k = 0; k < kChoiceCount; ++k)
    if (kChoices[k].madeFile && strcmp(kChoices[k].madeFile, name) == 0 && !copyFrom[k].empty())
      return copyFrom[k].c_str();
  return nullptr;
}

void RecordChoices(ShowSources& record) {
  record.choices = 0;
  for (int k = 0; k < kChoiceCount && record.choices < kMostRecordedChoices; ++k) {
    const char* value = made.*kChoices[k].value;
    if (!value) continue;
    RecordedChoice& c = record.choice[record.choices];
    unsigned long long digest = recordedDigest[k];
    if (kChoices[k].kind == kChoiceFile) {
      // A file copied from the old show keeps the digest of the source it was made from.
      char path[kMakePath];
      if (copyFrom[k].empty() && !FileDigest(value, digest)) continue;
      if (copyFrom[k].empty() && realpath(value, path)) value = path;
      snprintf(c.value, sizeof c.value, "%016llx %s", digest, value);
    } else {
      snprintf(c.value, sizeof c.value, "%s", value);
    }
    snprintf(c.name, sizeof c.name, "%s", kChoices[k].option + 2);
    ++record.choices;
  }
}
