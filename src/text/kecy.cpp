// The built-in captions of the demo show: records of a names line and a description.
#include "text/text.h"

#include <cstddef>

// The captions of the 19 demo photos, in photo order: the Quorlaks' first internal meeting,
// codename Tolvane, at a lodge by a lake. The cast: Mira, Tobias, Ilka, Ravi, Jonna, Pelle,
// Sanne and Oskar.
struct Caption {
  const char* names;
  const char* description;
};
constexpr Caption kCaptions[kBuiltInCaptions] = {
    {"Everyone, plus the minibus",
     "Day one: the minibus reaches the lodge\n"
     "by the lake. Nobody admits who packed\n"
     "the box of board games."},
    {"Mira, Tobias, Ilka and Ravi",
     "Welcome coffee around the round table.\n"
     "The first pot lasted eleven minutes,\n"
     "a new Quorlaks record."},
    {"Oskar and the audience",
     "Oskar opens Tolvane with slide one\n"
     "of forty. The back row is pretending\n"
     "to take notes."},
    {"Ilka and Jonna",
     "Whiteboard brainstorm: every idea\n"
     "gets a sticky note. Yellow means\n"
     "feature, pink means coffee."},
    {"Tobias, Ravi, Pelle and Sanne",
     "Hacking session. Four laptops, one\n"
     "power strip and a quiet agreement\n"
     "not to break the build."},
    {"Everyone at the picnic table",
     "Lunch under the big tree.\n"
     "The sun showed up, and so did the wasps."},
    {"Jonna leading, the rest following",
     "A walk through the pines to clear\n"
     "our heads. Pelle counted the trees\n"
     "and gave up at two hundred."},
    {"Sanne, Oskar and Mira",
     "The discussion circle: Sanne makes\n"
     "her case, hands go up all around.\n"
     "The circle held, mostly."},
    {"Ravi and Tobias",
     "Demo time! Ravi's bar chart goes up\n"
     "and to the right. Tobias points at\n"
     "the one bar that doesn't."},
    {"Pelle and a very big cake",
     "Cake break. One candle for our first\n"
     "meeting ever. The cake did not\n"
     "survive the hour."},
    {"Ilka, Jonna, Pelle and Oskar",
     "Board game evening under a warm lamp.\n"
     "Rules were read, rules were bent,\n"
     "friendships held."},
    {"Everyone around the fire",
     "Campfire under a sky full of stars.\n"
     "Mira tells the story of our first\n"
     "release. It gets scarier every time."},
    {"Tobias and Sanne",
     "Out on the lake in the rowing boat.\n"
     "Tobias rowed, Sanne steered, and both\n"
     "swear the boat went straight."},
    {"Ravi, Jonna and Pelle",
     "Frisbee on the meadow. The disc\n"
     "flew well; the catching needs\n"
     "a roadmap of its own."},
    {"Tobias and Ravi",
     "Late-night coding, lit by monitors.\n"
     "\"Just one more bug,\" said at 23:40\n"
     "and again at 01:15."},
    {"Mira, Ilka and Sanne",
     "Breakfast in the morning sun: bread,\n"
     "juice and a quiet hour before\n"
     "anyone mentioned the roadmap."},
    {"Oskar and everyone's dots",
     "Roadmap voting with sticky dots.\n"
     "Three dots each, and somehow\n"
     "the cake feature won."},
    {"The whole Quorlaks team",
     "Group photo in front of the lodge:\n"
     "two rows, eight people and a self-timer\n"
     "that needed four tries."},
    {"Everyone, waving",
     "Farewell! The minibus drives off\n"
     "into the sunset. See you at\n"
     "Tolvane number two."},
};

constexpr std::size_t Length(const char* text) {
  std::size_t length = 0;
  while (text[length]) ++length;
  return length;
}

// Each field keeps at least one NUL after its text.
constexpr bool FieldsFit() {
  for (const Caption& caption : kCaptions)
    if (Length(caption.names) >= kCaptionFieldSize ||
        Length(caption.description) >= kCaptionFieldSize)
      return false;
  return true;
}
static_assert(FieldsFit(), "a built-in caption overflows its 300-byte field");

struct CaptionBlock {
  char bytes[kBuiltInCaptions * kCaptionRecordSize];
};

static constexpr CaptionBlock Build() {
  CaptionBlock block{};
  for (int i = 0; i < kBuiltInCaptions; ++i) {
    char* names = block.bytes + kCaptionRecordSize * i;
    char* description = names + kCaptionFieldSize;
    for (std::size_t k = 0; kCaptions[i].names[k]; ++k) names[k] = kCaptions[i].names[k];
    for (std::size_t k = 0; kCaptions[i].description[k]; ++k)
      description[k] = kCaptions[i].description[k];
  }
  return block;
}
static constexpr CaptionBlock kBlock = Build();

// A plain char array can only be initialised by the list of its bytes; these spell out the
// indices of the built block, 600 to a record.
#define KECY_BYTES10(i)                                                                           \
  kBlock.bytes[(i)], kBlock.bytes[(i) + 1], kBlock.bytes[(i) + 2], kBlock.bytes[(i) + 3],         \
      kBlock.bytes[(i) + 4], kBlock.bytes[(i) + 5], kBlock.bytes[(i) + 6], kBlock.bytes[(i) + 7], \
      kBlock.bytes[(i) + 8], kBlock.bytes[(i) + 9]
#define KECY_BYTES100(i)                                                                   \
  KECY_BYTES10(i), KECY_BYTES10((i) + 10), KECY_BYTES10((i) + 20), KECY_BYTES10((i) + 30), \
      KECY_BYTES10((i) + 40), KECY_BYTES10((i) + 50), KECY_BYTES10((i) + 60),              \
      KECY_BYTES10((i) + 70), KECY_BYTES10((i) + 80), KECY_BYTES10((i) + 90)
#define KECY_RECORD(r)                                                                      \
  KECY_BYTES100(600 * (r)), KECY_BYTES100(600 * (r) + 100), KECY_BYTES100(600 * (r) + 200), \
      KECY_BYTES100(600 * (r) + 300), KECY_BYTES100(600 * (r) + 400),                       \
      KECY_BYTES100(600 * (r) + 500)
static_assert(kCaptionRecordSize == 600 && kBuiltInCaptions == 19,
              "the byte list below spells out 19 records of 600 bytes");

const char kecy[kBuiltInCaptions * kCaptionRecordSize] = {
    KECY_RECORD(0),  KECY_RECORD(1),  KECY_RECORD(2),  KECY_RECORD(3),  KECY_RECORD(4),
    KECY_RECORD(5),  KECY_RECORD(6),  KECY_RECORD(7),  KECY_RECORD(8),  KECY_RECORD(9),
    KECY_RECORD(10), KECY_RECORD(11), KECY_RECORD(12), KECY_RECORD(13), KECY_RECORD(14),
    KECY_RECORD(15), KECY_RECORD(16), KECY_RECORD(17), KECY_RECORD(18),
};

#undef KECY_RECORD
#undef KECY_BYTES100
#undef KECY_BYTES10
