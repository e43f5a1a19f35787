// Writes seed corpora for the fuzz targets through the library's own interface: phone books of
// a few shapes (empty, entries, groups, favourites, a version-1 file) into book/, and their text
// exports and the tool's contacts samples into import/, each behind the import's options byte.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "interface/telbook.h"

namespace {

namespace fs = std::filesystem;

TL_Kojin Entry(const char* name, const char* furigana, const char* fax) {
  TL_Kojin k;
  memset(&k, 0, sizeof k);
  strcpy(k.Name, name);
  strcpy(k.Furigana, furigana);
  strcpy(k.FaxNumber, fax);
  strcpy(k.Phone, "03-1234-5678");
  strcpy(k.EMail, "someone@example.jp");
  strcpy(k.Memo, "memo, with \"quotes\"\tand a tab");
  strcpy(k.SpeedDial, "12");
  strcpy(k.FCode, "0042");
  strcpy(k.PCode, "pw");
  k.CommMode = 2;
  return k;
}

bool MakeBook(const std::string& path, int entries, int groups, bool favourites) {
  TL_FaxUtl* s = TL_CreateFaxUtl();
  if (s == nullptr || TL_createDataBase(s, path.c_str()) != 0) return false;
  // Readings over several kana rows: a, ka, sa, ta, na, ha, ma, ya, ra, wa, and Latin.
  static const char* const kReadings[] = {"\x82\xA0", "\x82\xA9", "\x82\xB3", "\x82\xBD",
                                          "\x82\xC8", "\x82\xCD", "\x82\xDC", "\x82\xE2",
                                          "\x82\xE7", "\x82\xED", "\xB1",     "abc"};
  std::vector<unsigned short> numbers;
  for (int i = 0; i < entries; ++i) {
    TL_Kojin k = Entry("Name", kReadings[i % 12], "0312345678");
    k.Favourite = static_cast<uint8_t>(favourites ? i % 6 : 0);
    unsigned short number = 0;
    if (TL_writeKojin(s, &k, &number, 0) == 0) numbers.push_back(number);
  }
  for (int g = 0; g < groups; ++g) {
    TL_Group group;
    memset(&group, 0, sizeof group);
    strcpy(group.Name, "Group");
    strcpy(group.Furigana, kReadings[g % 12]);
    unsigned short number = 0;
    TL_writeGroup(s, &group, &number, static_cast<int>(numbers.size()), numbers.data());
  }
  if (favourites) {
    char names[5 * 16] = "Clients";
    TL_writeOkonomi(s, 1, names);
  }
  short status = TL_closeDataBase(s, 0);
  TL_DestroyFaxUtl(s);
  return status == 0;
}

// The text export of every record of a phone book, through TL_writeSrchData.
bool ExportText(const std::string& book, const std::string& out) {
  TL_FaxUtl* s = TL_CreateFaxUtl();
  if (s == nullptr || TL_openDataBase(s, book.c_str()) != 0) return false;
  std::vector<unsigned short> personal, groups;
  unsigned short count = 0;
  TL_ListItem item;
  if (TL_beginSRCH(s, &count) == 0) {
    while (TL_readSrchData(s, &item) == 0) {
      (item.RecordNumber > 16384 ? groups : personal).push_back(item.RecordNumber);
    }
    TL_endSRCH(s);
  }
  short flag = 0;
  short status =
      TL_writeSrchData(s, personal.data(), static_cast<int>(personal.size()), groups.data(),
                       static_cast<int>(groups.size()), 0, out.c_str(), &flag);
  TL_closeDataBase(s, 1);
  TL_DestroyFaxUtl(s);
  return status == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds DIR\n");
    return 2;
  }
  fs::path out = fs::path(argv[1]) / "book";
  fs::path text_out = fs::path(argv[1]) / "import";
  fs::create_directories(out);
  fs::create_directories(text_out);
  const std::string scratch = telbook::fuzz::ScratchDir();
  struct Shape {
    const char* name;
    int entries;
    int groups;
    bool favourites;
  } shapes[] = {{"empty", 0, 0, false},
                {"entries", 12, 0, false},
                {"groups", 6, 3, false},
                {"favourites", 12, 2, true}};
  int made = 0;
  for (const Shape& shape : shapes) {
    std::string path = scratch + "/" + shape.name + ".tel";
    if (!MakeBook(path, shape.entries, shape.groups, shape.favourites)) {
      fprintf(stderr, "make_seeds: could not make %s\n", shape.name);
      return 1;
    }
    fs::copy_file(path, out / shape.name, fs::copy_options::overwrite_existing);
    if (!ExportText(path, (text_out / shape.name).string())) {
      fprintf(stderr, "make_seeds: could not export %s\n", shape.name);
      return 1;
    }
    made += 2;
  }
  // A version-1 layout: the first 16512 bytes of the fixed part with its own version text.
  {
    std::string path = scratch + "/entries.tel";
    std::vector<char> v1(16512, 0);
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr || fread(v1.data(), 1, v1.size(), f) != v1.size()) return 1;
    fclose(f);
    memcpy(v1.data() + 4, "0100", 4);
    FILE* o = fopen((out / "version1").string().c_str(), "wb");
    if (o == nullptr) return 1;
    fwrite(v1.data(), 1, v1.size(), o);
    fclose(o);
    ++made;
  }
  // The import target reads its options from the first byte: 0 recognises the format.
  for (const fs::directory_entry& e : fs::directory_iterator(text_out)) {
    std::ifstream in(e.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    std::ofstream(e.path(), std::ios::binary | std::ios::trunc) << '\0' << bytes;
  }
  for (const fs::directory_entry& e : fs::directory_iterator(TELBOOK_CONTACTS_DIR)) {
    std::ifstream in(e.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(text_out / e.path().filename(), std::ios::binary) << '\0' << bytes;
    ++made;
  }
  printf("make_seeds: %d seeds in %s\n", made, out.string().c_str());
  return 0;
}
