// The sample phone book of `telbook demo`: realistic entries whose readings cover every kana
// row, half-width katakana and Latin readings, two groups and three favourite categories.
#ifndef TELBOOK_TOOLS_DEMO_DATA_H_
#define TELBOOK_TOOLS_DEMO_DATA_H_

#include <cstddef>

namespace telbook {
namespace tool {

struct SampleEntry {
  const char* name;
  const char* furigana;
  const char* affiliation;
  const char* fax;
  const char* phone;
  const char* email;
  const char* memo;
  const char* speed_dial;
  int favourite;  // 0 none, 1 to 3
  int line_type;  // 0 outside, 1 internal
};

struct SampleGroup {
  const char* name;
  const char* furigana;
  int favourite;
  int members[8];  // indexes into the sample entries, from 1; 0 ends the list
};

extern const char* const kSampleFavourites[3];
extern const SampleEntry kSampleEntries[];
extern const size_t kSampleEntryCount;
extern const SampleGroup kSampleGroups[];
extern const size_t kSampleGroupCount;

}  // namespace tool
}  // namespace telbook

#endif  // TELBOOK_TOOLS_DEMO_DATA_H_
