// Building and writing the lines of the text export: the field rule, the personal entry line and
// the group line with its members' K numbers. Texts are read from the stored records unchanged.
#include "export/text_export.h"

#include <cstring>
#include <string_view>

#include "records/cp932_bytes.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "records/text_util.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/read_ahead.h"

namespace telbook {

namespace {

constexpr size_t kInitialLineSize = 1024;
constexpr char kPersonalMark = 'K';
constexpr char kGroupMark = 'G';
constexpr char kQuote = '"';
constexpr char kSeparator = ',';
constexpr char kLineEnd[] = "\r\n";
constexpr size_t kLineEndSize = 2;

constexpr char kOutline[] = "[Outline]";
constexpr char kInline[] = "[Inline]";
constexpr char kNoLine[] = "[None]";
constexpr uint8_t kLineTypeOutline = 0;
constexpr uint8_t kLineTypeInline = 1;

// Main strings of a stored personal entry that the export writes.
constexpr int kNameString = 0;
constexpr int kFuriganaString = 1;
constexpr int kAffiliationString = 2;
constexpr int kFaxNumberString = 3;
constexpr int kPhoneString = 4;
constexpr int kEMailString = 5;
constexpr int kMemoString = 6;
constexpr int kBoxNumberString = 7;
constexpr int kBoxPasswordString = 8;
constexpr int kRelayIdString = 10;
constexpr int kBroadcastListString = 11;

// CommMode 1 and 2 trade places in the export; every other value is written as stored.
uint8_t ExportedCommMode(uint8_t stored) {
  if (stored == 1) return 2;
  if (stored == 2) return 1;
  return stored;
}

std::string_view LineTypeWord(uint8_t line_type) {
  if (line_type == kLineTypeOutline) return kOutline;
  if (line_type == kLineTypeInline) return kInline;
  return kNoLine;
}

bool NeedsQuotes(uint8_t c) { return c == ',' || c == '\n' || c == '\r'; }

}  // namespace

// One line, built whole before it is written. It grows through the Env for any line; once an
// allocation fails it stays failed and takes no more bytes.
class TextExportWriter::Line {
 public:
  explicit Line(Env* env) : env_(env) {}

  bool Obtain() { return block_.Obtain(env_, kInitialLineSize); }
  bool ok() const { return ok_; }
  const uint8_t* data() const { return block_.data(); }
  size_t size() const { return size_; }
  void Clear() { size_ = 0; }

  void Append(const void* bytes, size_t n) {
    if (n == 0 || !Reserve(n) || block_.data() == nullptr) return;
    memcpy(block_.data() + size_, bytes, n);
    size_ += n;
  }
  void Append(std::string_view text) { Append(text.data(), text.size()); }
  void Append(char c) { Append(&c, 1); }

  // The field rule over the concatenation of prefix and text: quoted when it holds a comma, CR
  // or LF; its last byte dropped when the double-byte scan ends after a lead byte; then a comma,
  // or CR LF for the last field of the line.
  void Field(std::string_view prefix, std::string_view text, bool last) {
    bool quote = false;
    bool after_lead = false;
    for (std::string_view part : {prefix, text}) {
      for (char ch : part) {
        uint8_t c = static_cast<uint8_t>(ch);
        if (NeedsQuotes(c)) quote = true;
        if (!after_lead) {
          after_lead = IsLeadByte(c);
        } else if (IsTrailByte(c)) {
          after_lead = false;
        }
      }
    }
    if (quote) Append(kQuote);
    if (after_lead) {
      // The scan can end after a lead byte only when some byte was seen.
      if (!text.empty()) {
        text.remove_suffix(1);
      } else if (!prefix.empty()) {
        prefix.remove_suffix(1);
      }
    }
    Append(prefix);
    Append(text);
    if (quote) Append(kQuote);
    End(last);
  }
  void Field(std::string_view text, bool last) { Field({}, text, last); }

  void Number(uint32_t value, bool last) {
    char digits[text_util::kToTextBufferSize];
    if (!text_util::ToText(static_cast<int32_t>(value), digits, 10)) digits[0] = '\0';
    Field(digits, last);
  }
  // "K" or "G" followed by a sequence number.
  void Sequence(char mark, uint32_t value, bool last) {
    char digits[text_util::kToTextBufferSize];
    if (!text_util::ToText(static_cast<int32_t>(value), digits, 10)) digits[0] = '\0';
    Field(std::string_view(&mark, 1), digits, last);
  }
  void End(bool last) {
    if (last) {
      Append(kLineEnd, kLineEndSize);
    } else {
      Append(kSeparator);
    }
  }

 private:
  bool Reserve(size_t n) {
    if (!ok_) return false;
    if (block_.size() - size_ >= n) return true;
    size_t capacity = block_.size() * 2;
    if (capacity < size_ + n) capacity = size_ + n;
    MemoryBlock larger;
    if (!larger.Obtain(env_, capacity)) {
      ok_ = false;
      return false;
    }
    memcpy(larger.data(), block_.data(), size_);
    block_ = std::move(larger);
    return true;
  }

  Env* env_;
  MemoryBlock block_;
  size_t size_ = 0;
  bool ok_ = true;
};

void TextExportWriter::SetChosen(const uint16_t* numbers, uint16_t count, uint16_t base) {
  memset(chosen_, 0, sizeof(chosen_));
  for (uint16_t i = 0; i < count; ++i) {
    uint32_t n = numbers[i];
    if (n > base && n - base <= format::kSlotsPerTable) chosen_[n - base] = true;
  }
}

short TextExportWriter::ReadRecord(const uint8_t* slot, MemoryBlock* block) {
  uint16_t length = Slot::length(slot);
  if (length > block->size()) {
    if (!block->Obtain(store_->env(), length)) {
      store_->RecordError(category::kClose, detail::kNoMemory);
      return kFailed;
    }
  }
  // The export walks the records in slot order: read them ahead, or one by one without a block.
  ReadAhead& ahead = store_->read_ahead();
  if (!ahead.ready()) ahead.Obtain(ReadAhead::kBlockSize);
  if (ahead.Read(store_->handle, Slot::offset(slot), length, block->data()) != kOk) {
    store_->RecordError(category::kClose, detail::kRecordFailed);
    return kFailed;
  }
  return kOk;
}

// A file of the export's own, written through the file layer.
class TextExportWriter::FileSink final : public TextSink {
 public:
  FileSink(FileAccessor* accessor, FileHandle file) : accessor_(accessor), file_(file) {}
  bool Write(const uint8_t* bytes, uint32_t length) override {
    uint32_t count = 0;
    return accessor_->Write(file_, bytes, length, &count) == kOk;
  }

 private:
  FileAccessor* accessor_;
  FileHandle file_;
};

short TextExportWriter::WriteLine(TextSink* out, const Line& line) {
  if (!line.ok()) {
    store_->RecordError(category::kClose, detail::kNoMemory);
    return kFailed;
  }
  if (!out->Write(line.data(), static_cast<uint32_t>(line.size()))) {
    store_->RecordError(category::kClose, detail::kRecordFailed);
    return kFailed;
  }
  return kOk;
}

short TextExportWriter::WritePersonalLines(TextSink* out, const uint8_t* slots, MemoryBlock* record,
                                           Line* line) {
  uint16_t counter = 0;
  for (uint32_t n = 1; n <= format::kSlotsPerTable; ++n) {
    sequence_[n] = counter;
    if (!chosen_[n]) continue;
    const uint8_t* slot = slots + format::kSlotSize * (n - 1);
    if (Slot::kind(slot) == format::kKindFree) continue;
    marked_[n] = true;
    if (ReadRecord(slot, record) != kOk) return kFailed;
    KojinView view(record->data(), Slot::length(slot));
    if (view.kind() != format::kKindPersonal) {
      store_->RecordError(category::kClose, detail::kRecordFailed);
      return kFailed;
    }
    sequence_[n] = ++counter;

    std::string_view text[kojin::kMainStrings];
    for (int i = 0; i < kojin::kMainStrings; ++i) {
      if (!view.Main(i, &text[i])) text[i] = {};
    }
    std::string_view relay_id = text[kRelayIdString];
    line->Clear();
    line->Sequence(kPersonalMark, counter, false);
    line->Field(text[kNameString], false);
    line->Field(text[kFuriganaString], false);
    line->Field(text[kAffiliationString], false);
    line->Field(LineTypeWord(view.line_type()), text[kFaxNumberString], false);
    line->Field(view.Extension(kojin::kSpeedDial), false);
    line->Field(text[kPhoneString], false);
    line->Field(text[kEMailString], false);
    line->Field(text[kMemoString], false);
    line->Number(ExportedCommMode(view.comm_mode()), false);
    line->Field(view.Extension(kojin::kFCode), false);
    line->Field(view.Extension(kojin::kPCode), false);
    line->Field(text[kBoxNumberString], false);
    line->Field(text[kBoxPasswordString], false);
    line->Field(relay_id, false);
    line->Number(view.relay_output(), relay_id.empty());
    if (!relay_id.empty()) {
      // The broadcast list goes out as stored: neither quoted nor checked for a lone lead byte.
      line->Append(text[kBroadcastListString]);
      line->End(true);
    }
    if (WriteLine(out, *line) != kOk) return kFailed;
  }
  return kOk;
}

short TextExportWriter::WriteGroupLines(TextSink* out, Line* line) {
  MemoryBlock record;
  if (!record.Obtain(store_->env(), format::kMaxGroupRecordSize)) {
    store_->RecordError(category::kClose, detail::kNoMemory);
    return kFailed;
  }
  uint8_t* slots = nullptr;
  if (lookup_.Lookup(format::kFirstGroup, &slots) != kOk) {
    store_->RecordError(category::kClose, detail::kBadRecordNumber);
    return kFailed;
  }
  uint16_t counter = 0;
  for (uint32_t n = 1; n <= format::kSlotsPerTable; ++n) {
    if (!chosen_[n]) continue;
    const uint8_t* slot = slots + format::kSlotSize * (n - 1);
    if (Slot::kind(slot) == format::kKindFree) continue;
    if (ReadRecord(slot, &record) != kOk) return kFailed;
    GroupView view(record.data(), Slot::length(slot));
    if (view.kind() != format::kKindGroup) {
      store_->RecordError(category::kClose, detail::kRecordFailed);
      return kFailed;
    }
    ++counter;

    auto exported = [this](uint16_t member) {
      return member >= format::kFirstPersonal && member <= format::kLastPersonal && marked_[member];
    };
    size_t places = view.place_count();
    uint32_t members = 0;
    for (size_t k = 0; k < places; ++k) {
      if (exported(view.place(k))) ++members;
    }
    std::string_view name;
    std::string_view furigana;
    if (!view.Text(0, &name)) name = {};
    if (!view.Text(1, &furigana)) furigana = {};
    line->Clear();
    line->Sequence(kGroupMark, counter, false);
    line->Field(name, false);
    line->Field(furigana, false);
    line->Number(members, members == 0);
    uint32_t written = 0;
    for (size_t k = 0; k < places; ++k) {
      uint16_t member = view.place(k);
      if (!exported(member)) continue;
      ++written;
      line->Sequence(kPersonalMark, sequence_[member], written == members);
    }
    if (WriteLine(out, *line) != kOk) return kFailed;
  }
  return kOk;
}

short TextExportWriter::Export(const uint16_t* personal, uint16_t personal_count,
                               const uint16_t* groups, uint16_t group_count, FileHandle out) {
  if (out == nullptr) return kFailed;
  FileSink file_sink(&accessor_, out);
  return Run(personal, personal_count, groups, group_count, &file_sink);
}

short TextExportWriter::ExportTo(const uint16_t* personal, uint16_t personal_count,
                                 const uint16_t* groups, uint16_t group_count, TextSink* sink) {
  if (sink == nullptr) return kFailed;
  return Run(personal, personal_count, groups, group_count, sink);
}

short TextExportWriter::Run(const uint16_t* personal, uint16_t personal_count,
                            const uint16_t* groups, uint16_t group_count, TextSink* out) {
  Env* env = store_->env();
  Line line(env);
  if (!line.Obtain()) return kFailed;
  MemoryBlock record;
  if (!record.Obtain(env, format::kMaxPersonalRecordSize)) {
    store_->RecordError(category::kClose, detail::kNoMemory);
    return kTextExportNoRecordBuffer;
  }
  uint8_t* slots = nullptr;
  if (lookup_.Lookup(format::kFirstPersonal, &slots) != kOk) {
    store_->RecordError(category::kClose, detail::kBadRecordNumber);
    return kFailed;
  }
  memset(marked_, 0, sizeof(marked_));
  SetChosen(personal, personal_count, 0);
  short status = WritePersonalLines(out, slots, &record, &line);
  record.Release();
  if (status == kOk) {
    SetChosen(groups, group_count, format::kGroupBase);
    status = WriteGroupLines(out, &line);
  }
  return status;
}

}  // namespace telbook
