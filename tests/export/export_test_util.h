// Helpers of the export tests: phone book images built from encoded records, a fixture that opens
// one and runs TL_writeSrchData, and the expected lines of the text export.
#ifndef TELBOOK_TESTS_EXPORT_EXPORT_TEST_UTIL_H_
#define TELBOOK_TESTS_EXPORT_EXPORT_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "interface/telbook.h"
#include "test_util.h"

namespace telbook {
namespace test {

// A personal entry with the given texts; every other field zero.
TL_Kojin Entry(const std::string& name, const std::string& furigana = "a",
               const std::string& fax = "");

// A phone book image that grows by appending records behind the fixed part.
class BookImage {
 public:
  BookImage() : bytes_(EmptyBook()) {}
  explicit BookImage(Bytes base) : bytes_(std::move(base)) {}

  // Appends a raw record and points personal slot n (group slot n when group) at it.
  void AddRaw(bool group, int n, const Bytes& record, uint8_t slot_kind, uint8_t tab);
  // Encodes an entry with the record writer's encoder into personal slot n.
  void AddKojin(int n, const TL_Kojin& entry, uint8_t tab = 1);
  // Encodes a group into group slot n (record number 16384 + n).
  void AddGroup(int n, const std::string& name, const std::string& furigana,
                const std::vector<uint16_t>& members, uint8_t tab = 1);
  const Bytes& bytes() const { return bytes_; }
  void Save(const std::string& path) const { WriteFile(path, bytes_); }

 private:
  Bytes bytes_;
  uint16_t personal_ = 0;
  uint16_t groups_ = 0;
};

// The encoded record of an entry or a group, for tests that patch bytes.
Bytes KojinRecord(const TL_Kojin& entry);
Bytes GroupRecord(const std::string& name, const std::string& furigana,
                  const std::vector<uint16_t>& members);

// One line of the text export: the fields joined by commas, then CR LF.
std::string Line(const std::vector<std::string>& fields);
// The sixteen fields of a personal entry line with only K number, Name, Furigana and the
// line-type field set, CommMode 0 and RelayOutput 0.
std::string PlainLine(int k, const std::string& name, const std::string& furigana = "a",
                      const std::string& fax_field = "[Outline]");

// A scratch directory, a session, a phone book in it and the export's destination.
class ExportTest : public ::testing::Test {
 protected:
  void Open(const BookImage& image);
  short Export(const std::vector<uint16_t>& personal, const std::vector<uint16_t>& groups,
               int format = 0, short* empty_group = nullptr);
  std::string Output() const;
  Bytes OutputBytes() const { return ReadFileOrDie(out_); }
  // Files in the scratch directory besides the phone book and the destination.
  std::vector<std::string> Strays() const;

  ScratchDir dir_;
  std::string book_ = dir_.File("book.tel");
  std::string out_ = dir_.File("out.dat");
  SessionHolder s_;
};

}  // namespace test
}  // namespace telbook

#endif  // TELBOOK_TESTS_EXPORT_EXPORT_TEST_UTIL_H_
