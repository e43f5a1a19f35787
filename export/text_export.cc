// Building and writing the lines of the text export: the field rule, the personal entry line and
// the group line with its members' K numbers. Texts are read from the stored records unchanged.
#include "export/text_export.h"

#include <cstring>
#include <string_view>

#include "records/cp932_bytes.h"
#include "records/group_codec.h"
#include "records/kojin_codec.h"
#include "store/errors.h"
#include "store/file_store.h"
#include "store/read_ahead.h"

namespace telbook {

namespace {

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

constexpr bool NeedsQuotes(uint8_t c) { return c == ',' || c == '\n' || c == '\r'; }

// The top bit of each of eight bytes.
constexpr uint64_t kTopBits = 0x8080808080808080u;

// The top bit of each of the eight bytes of v that is c, and perhaps of bytes above one that is.
constexpr uint64_t Marks(uint64_t v, uint8_t c) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  const uint64_t x = v ^ (kOnes * c);
  return (x - kOnes) & ~x & kTopBits;
}

// What the field rule's double-byte scan makes of each byte. From single, a lead byte moves to
// after-lead; from after-lead, a trail byte moves back to single. Lead bytes are all trail bytes
// too, so every byte does one of three things whatever the state: a byte that is no trail byte
// keeps the state, a trail byte that is no lead byte sets single, and a lead byte flips the
// state. The state at the end is therefore the parity of the lead bytes behind the last byte
// that sets single, which a scan from the end finds without following the state byte by byte.
constexpr uint8_t kSetsSingle = 1;
constexpr uint8_t kFlips = 2;

struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of() {
    for (int c = 0; c < 256; ++c) {
      uint8_t b = static_cast<uint8_t>(c);
      of[c] = IsLeadByte(b) ? kFlips : IsTrailByte(b) ? kSetsSingle : 0;
    }
  }
};
constexpr ByteClasses kClasses{};

// Whether the scan of text from its first byte, in state single, ends after a lead byte; *open
// is set when the answer lies before the text (its bytes all keep the state).
bool EndsAfterLead(std::string_view text, bool* open) {
  bool after_lead = false;
  for (size_t i = text.size(); i-- > 0;) {
    uint8_t c = kClasses.of[static_cast<uint8_t>(text[i])];
    if (c & kSetsSingle) {
      *open = false;
      return after_lead;
    }
    if (c & kFlips) after_lead = !after_lead;
  }
  *open = true;
  return after_lead;
}

}  // namespace

// The export's output: lines are formatted straight into one block, which goes to the sink
// whenever the next field does not fit in what is left of it, and at the end. A field longer
// than the block grows it. The first failure, of memory or of a write, sticks: nothing more is
// taken or written, and the export ends at the end of the line.
class TextExportWriter::Output {
 public:
  explicit Output(Env* env) : env_(env) {}

  bool Obtain() { return block_.Obtain(env_, kOutputBlockSize); }
  void Start(TextSink* sink) { sink_ = sink; }
  bool ok() const { return failure_ == kNone; }
  // The failure's detail: kNoMemory or kRecordFailed.
  uint16_t failure() const {
    return failure_ == kMemory ? detail::kNoMemory : detail::kRecordFailed;
  }

  // Writes what is held.
  bool Flush() {
    if (!ok()) return false;
    if (size_ == 0) return true;
    if (!sink_->Write(block_.data(), static_cast<uint32_t>(size_))) {
      failure_ = kWrite;
      return false;
    }
    size_ = 0;
    return true;
  }

  void Append(std::string_view text) {
    uint8_t* p = Room(text.size());
    if (p != nullptr) Commit(Copy(p, text) - p);
  }

  // The field rule over the concatenation of prefix and text, each ending at its first zero
  // byte if it holds one: quoted when it holds a comma, CR or LF; its last byte dropped when the
  // double-byte scan ends after a lead byte; then a comma, or CR LF for the last field of the
  // line. The bytes are noted as they are copied, and moved up for the opening quote in the
  // rare field that needs one.
  void Field(std::string_view prefix, std::string_view text, bool last) {
    uint8_t* p = Room(prefix.size() + text.size() + 2 + kLineEndSize);
    if (p == nullptr) return;
    Seen seen;
    uint8_t* end = CopyNoting(CopyNoting(p, prefix, &seen), text, &seen);
    bool open = false;
    const char* copied = reinterpret_cast<const char*>(p);
    // Without a byte whose top bit is set there is no lead byte, and the scan ends in single.
    if (seen.top && EndsAfterLead(std::string_view(copied, static_cast<size_t>(end - p)), &open)) {
      --end;
    }
    if (seen.quote) {
      memmove(p + 1, p, static_cast<size_t>(end - p));
      *p = kQuote;
      ++end;
      *end++ = kQuote;
    }
    Commit(End(end, last) - p);
  }
  void Field(std::string_view text, bool last) { Field({}, text, last); }

  // A number in decimal, or "K" or "G" followed by one: never quoted, never cut.
  void Number(uint32_t value, bool last) { Sequence('\0', value, last); }
  void Sequence(char mark, uint32_t value, bool last) {
    uint8_t* p = Room(kNumberFieldSize);
    if (p == nullptr) return;
    uint8_t* start = p;
    if (mark != '\0') *p++ = static_cast<uint8_t>(mark);
    char digits[kMaxDigits];
    size_t n = 0;
    do {
      digits[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    while (n > 0) *p++ = static_cast<uint8_t>(digits[--n]);
    Commit(End(p, last) - start);
  }
  // Ends the line's last field when it was written without its end.
  void End(bool last) {
    uint8_t* p = Room(kLineEndSize);
    if (p != nullptr) Commit(End(p, last) - p);
  }

 private:
  // A block of this size takes some 180 personal entry lines, or a group of 9999 members.
  static constexpr size_t kOutputBlockSize = 64 * 1024;
  static constexpr size_t kMaxDigits = 10;
  static constexpr size_t kNumberFieldSize = 1 + kMaxDigits + kLineEndSize;

  enum Failure : uint8_t { kNone, kMemory, kWrite };

  // What the copy of a field's texts saw: a byte that makes the field quoted, a byte with its
  // top bit set (without one there is no lead byte, and the double-byte scan has nothing to do).
  struct Seen {
    bool quote = false;
    bool top = false;
  };

  // Copies text up to its first zero byte to p, noting what it holds in *seen. Nothing is read
  // or written further than text.size() bytes from where it starts, though bytes after the zero
  // may be written.
  static uint8_t* CopyNoting(uint8_t* p, std::string_view text, Seen* seen) {
    const char* in = text.data();
    const size_t n = text.size();
    size_t i = 0;
    uint64_t quotes = 0;
    uint64_t tops = 0;
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // Eight bytes at a time. A borrow can mark a byte only above a byte that really matches, so
    // the lowest zero marked is the first zero, and a quoted byte marked below it is real.
    for (; n - i >= 8; i += 8) {
      uint64_t v;
      memcpy(&v, in + i, 8);
      memcpy(p + i, &v, 8);
      const uint64_t marks = Marks(v, ',') | Marks(v, '\n') | Marks(v, '\r');
      const uint64_t zeros = Marks(v, 0);
      if (zeros != 0) {
        const uint64_t before_zero = (zeros & (~zeros + 1)) - 1;
        quotes |= marks & before_zero;
        tops |= v & before_zero;
        seen->quote = seen->quote || quotes != 0;
        seen->top = seen->top || (tops & kTopBits) != 0;
        return p + i + static_cast<size_t>(__builtin_ctzll(zeros)) / 8;
      }
      quotes |= marks;
      tops |= v;
    }
#endif
    for (; i < n; ++i) {
      const uint8_t b = static_cast<uint8_t>(in[i]);
      if (b == 0) break;
      p[i] = b;
      quotes |= NeedsQuotes(b) ? kTopBits : 0;
      tops |= b;
    }
    seen->quote = seen->quote || quotes != 0;
    seen->top = seen->top || (tops & kTopBits) != 0;
    return p + i;
  }
  static uint8_t* Copy(uint8_t* p, std::string_view text) {
    if (!text.empty()) memcpy(p, text.data(), text.size());
    return p + text.size();
  }
  static uint8_t* End(uint8_t* p, bool last) {
    if (last) {
      memcpy(p, kLineEnd, kLineEndSize);
      return p + kLineEndSize;
    }
    *p = kSeparator;
    return p + 1;
  }

  // Room for n bytes at the end of what is held, writing what is held or growing the block
  // when needed; null after a failure.
  uint8_t* Room(size_t n) {
    if (ok() && block_.size() - size_ >= n) return block_.data() + size_;
    return MoreRoom(n);
  }
  uint8_t* MoreRoom(size_t n) {
    if (!Flush()) return nullptr;
    if (block_.size() < n) {
      MemoryBlock larger;
      if (!larger.Obtain(env_, n)) {
        failure_ = kMemory;
        return nullptr;
      }
      block_ = std::move(larger);
    }
    return block_.data();
  }
  void Commit(ptrdiff_t n) { size_ += static_cast<size_t>(n); }

  Env* env_;
  TextSink* sink_ = nullptr;
  MemoryBlock block_;
  size_t size_ = 0;
  Failure failure_ = kNone;
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

short TextExportWriter::EndLine(const Output& output) {
  if (output.ok()) return kOk;
  store_->RecordError(category::kClose, output.failure());
  return kFailed;
}

short TextExportWriter::WritePersonalLines(const uint8_t* slots, MemoryBlock* record, Output* out) {
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

    // Fields are handed over with the rest of the record behind them: the field rule stops at
    // each text's zero as it copies.
    auto main = [&view](int n) { return view.MainAndRest(n); };
    auto extension = [&view](int n) { return view.ExtensionAndRest(n); };
    std::string_view relay_id;
    if (!view.Main(kRelayIdString, &relay_id)) relay_id = {};
    out->Sequence(kPersonalMark, counter, false);
    out->Field(main(kNameString), false);
    out->Field(main(kFuriganaString), false);
    out->Field(main(kAffiliationString), false);
    out->Field(LineTypeWord(view.line_type()), main(kFaxNumberString), false);
    out->Field(extension(kojin::kSpeedDial), false);
    out->Field(main(kPhoneString), false);
    out->Field(main(kEMailString), false);
    out->Field(main(kMemoString), false);
    out->Number(ExportedCommMode(view.comm_mode()), false);
    out->Field(extension(kojin::kFCode), false);
    out->Field(extension(kojin::kPCode), false);
    out->Field(main(kBoxNumberString), false);
    out->Field(main(kBoxPasswordString), false);
    out->Field(relay_id, false);
    out->Number(view.relay_output(), relay_id.empty());
    if (!relay_id.empty()) {
      // The broadcast list goes out as stored: neither quoted nor checked for a lone lead byte.
      std::string_view broadcast_list;
      if (!view.Main(kBroadcastListString, &broadcast_list)) broadcast_list = {};
      out->Append(broadcast_list);
      out->End(true);
    }
    if (EndLine(*out) != kOk) return kFailed;
  }
  return kOk;
}

short TextExportWriter::WriteGroupLines(Output* out) {
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
    out->Sequence(kGroupMark, counter, false);
    out->Field(name, false);
    out->Field(furigana, false);
    out->Number(members, members == 0);
    uint32_t written = 0;
    for (size_t k = 0; k < places; ++k) {
      uint16_t member = view.place(k);
      if (!exported(member)) continue;
      ++written;
      out->Sequence(kPersonalMark, sequence_[member], written == members);
    }
    if (EndLine(*out) != kOk) return kFailed;
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
  Output output(env);
  if (!output.Obtain()) return kFailed;
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
  output.Start(out);

  memset(marked_, 0, sizeof(marked_));
  SetChosen(personal, personal_count, 0);
  short status = WritePersonalLines(slots, &record, &output);
  record.Release();
  if (status == kOk) {
    SetChosen(groups, group_count, format::kGroupBase);
    status = WriteGroupLines(&output);
  }
  if (status == kOk && !output.Flush()) status = EndLine(output);
  return status;
}

}  // namespace telbook
