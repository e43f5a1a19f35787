// Helpers of the export tests; see export_test_util.h.
#include "export/export_test_util.h"

#include <cstring>

#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "store/format.h"

namespace telbook {
namespace test {

TL_Kojin Entry(const std::string& name, const std::string& furigana, const std::string& fax) {
  return Kojin(name, furigana, fax);
}

Bytes KojinRecord(const TL_Kojin& entry) {
  Bytes r(kojin::kEncodeCapacity, 0);
  uint32_t length = EncodeKojin(entry, r.data(), r.size());
  r.resize(length);
  return r;
}

Bytes GroupRecord(const std::string& name, const std::string& furigana,
                  const std::vector<uint16_t>& members) {
  TL_Group g;
  memset(&g, 0, sizeof(g));
  strncpy(g.Name, name.c_str(), sizeof(g.Name) - 1);
  strncpy(g.Furigana, furigana.c_str(), sizeof(g.Furigana) - 1);
  uint16_t count = static_cast<uint16_t>(members.size());
  Bytes r(group::EncodeCapacity(count), 0);
  uint32_t length = EncodeGroup(g, members.data(), count, r.data(), r.size());
  r.resize(length);
  return r;
}

void BookImage::AddRaw(bool group, int n, const Bytes& record, uint8_t slot_kind, uint8_t tab) {
  uint32_t offset = static_cast<uint32_t>(bytes_.size());
  bytes_.insert(bytes_.end(), record.begin(), record.end());
  uint16_t length = static_cast<uint16_t>(record.size());
  if (group) {
    SetGroupSlot(&bytes_, n, slot_kind, tab, length, offset);
    PutU16(&bytes_, format::kGroupCountOffset, ++groups_);
  } else {
    SetPersonalSlot(&bytes_, n, slot_kind, tab, length, offset);
    PutU16(&bytes_, format::kPersonalCountOffset, ++personal_);
  }
}

void BookImage::AddKojin(int n, const TL_Kojin& entry, uint8_t tab) {
  AddRaw(false, n, KojinRecord(entry), format::kKindPersonal, tab);
}

void BookImage::AddGroup(int n, const std::string& name, const std::string& furigana,
                         const std::vector<uint16_t>& members, uint8_t tab) {
  AddRaw(true, n, GroupRecord(name, furigana, members), format::kKindGroup, tab);
}

std::string Line(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i != 0) line += ',';
    line += fields[i];
  }
  return line + "\r\n";
}

std::string PlainLine(int k, const std::string& name, const std::string& furigana,
                      const std::string& fax_field) {
  return Line({"K" + std::to_string(k), name, furigana, "", fax_field, "", "", "", "", "0", "", "",
               "", "", "", "0"});
}

void ExportTest::Open(const BookImage& image) {
  image.Save(book_);
  ASSERT_EQ(TL_openDataBase(s_, book_.c_str()), 0) << ErrorOf(s_);
}

short ExportTest::Export(const std::vector<uint16_t>& personal, const std::vector<uint16_t>& groups,
                         int format, short* empty_group) {
  return TL_writeSrchData(s_, personal.data(), static_cast<int>(personal.size()), groups.data(),
                          static_cast<int>(groups.size()), format, out_.c_str(), empty_group);
}

std::string ExportTest::Output() const {
  Bytes b = ReadFileOrDie(out_);
  return std::string(b.begin(), b.end());
}

std::vector<std::string> ExportTest::Strays() const {
  std::vector<std::string> strays;
  for (const std::string& name : dir_.List()) {
    if (name != "book.tel" && name != "out.dat") strays.push_back(name);
  }
  return strays;
}

}  // namespace test
}  // namespace telbook
