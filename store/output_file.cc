// The destination's checks, the temporary file beside it or in the temporary directory, and the
// step that puts the finished bytes in place.
// Nothing reaches the destination before every new byte is written and flushed.
#include "store/output_file.h"

#include <cstring>

#include "store/errors.h"
#include "store/file_store.h"

namespace telbook {

namespace {

constexpr char kTempPrefix[] = "tel";
constexpr char kTempSuffix[] = ".tmp";

// The library's own names: the prefix, eight hex digits and the suffix.
bool IsLibraryTempName(const char* name) {
  constexpr size_t kDigits = 8;
  const size_t prefix = sizeof(kTempPrefix) - 1;
  if (strlen(name) != prefix + kDigits + sizeof(kTempSuffix) - 1) return false;
  for (size_t i = prefix; i < prefix + kDigits; ++i) {
    char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

bool IsOpenBook(FileStore* store, const FileIdentity& identity) {
  if (!store->is_open()) return false;
  Env* env = store->env();
  if (SameFile(identity, store->identity)) return true;
  FileInfo now;
  if (env->Inspect(store->path, &now, nullptr) && now.kind == FileKind::kRegular &&
      SameFile(identity, now.identity)) {
    return true;
  }
  FileIdentity working;
  return env->IdentityOf(store->handle, &working, nullptr) && SameFile(identity, working);
}

}  // namespace

uint16_t DirectoryDetail(FileError error) {
  switch (error) {
    case FileError::kNotFound:
    case FileError::kNotADirectory:
      return detail::kNoDirectory;
    case FileError::kAccessDenied:
    case FileError::kReadOnlyVolume:
      return detail::kDirectoryNotWritable;
    case FileError::kNoSpace:
      return detail::kWriteFailed;
    default:
      return detail::kCreateFailed;
  }
}

bool DirectoryOfPath(const char* path, char* out) {
  size_t length = strnlen(path, kMaxPath);
  if (length >= kMaxPath) return false;
  size_t cut = length;
  while (cut > 0 && path[cut - 1] != '/' && path[cut - 1] != '\\') --cut;
  if (cut == 0) {
    strcpy(out, "./");
  } else {
    memcpy(out, path, cut);
    out[cut] = '\0';
  }
  return true;
}

bool OutputFile::Fail(uint16_t detail) {
  store_->RecordError(category_, detail);
  return false;
}

bool OutputFile::BeginExport(const char* destination, uint16_t category) {
  Abandon();
  category_ = category;
  Env* env = store_->env();
  FileError error = FileError::kNone;
  if (strnlen(destination, kMaxPath) >= kMaxPath) return Fail(detail::kOpenFailed);
  FileInfo info;
  if (!env->Inspect(destination, &info, &error)) {
    return Fail(error == FileError::kNotFound || error == FileError::kNotADirectory
                    ? detail::kNoDirectory
                    : detail::kOpenFailed);
  }
  created_ = info.kind == FileKind::kMissing;
  bool in_place = false;
  switch (info.kind) {
    case FileKind::kMissing:
      break;
    case FileKind::kRegular:
      if (IsOpenBook(store_, info.identity)) return Fail(detail::kIsOpenBook);
      in_place = info.links > 1;
      break;
    case FileKind::kFifo:
    case FileKind::kCharDevice:
    case FileKind::kSocket:
      in_place = true;
      break;
    default:
      return Fail(detail::kNotWritableKind);
  }
  if (!created_ && !info.writable) return Fail(detail::kReadOnly);
  if (in_place && info.kind != FileKind::kRegular) {
    // Written through the name given: links such as /dev/stdout lead to what has no path.
    strcpy(target_, destination);
  } else if (!env->ResolveLink(destination, target_, &error)) {
    // A replaced file is replaced where its links lead, beside it, and the links stay; a link to
    // an open file of a process leads to no place where a file could take its place.
    if (error == FileError::kUnsupported) return Fail(detail::kNotWritableKind);
    return Fail(error == FileError::kNotADirectory ? detail::kNoDirectory : detail::kOpenFailed);
  }
  return Create(in_place);
}

bool OutputFile::BeginReplacing(const char* target, bool in_place, uint16_t category) {
  Abandon();
  category_ = category;
  created_ = false;
  if (strnlen(target, kMaxPath) >= kMaxPath) return Fail(detail::kOpenFailed);
  strcpy(target_, target);
  return Create(in_place);
}

bool OutputFile::Create(bool in_place) {
  Env* env = store_->env();
  char dir[kMaxPath];
  bool have_dir = in_place ? env->TempDirectory(dir) : DirectoryOfPath(target_, dir);
  if (!have_dir) return Fail(in_place ? detail::kNoDirectory : detail::kOpenFailed);
  FileError error = FileError::kNone;
  // Bytes written into a kept file are first made whole where nothing links to them; bytes that
  // replace a file lie beside it, since a rename across file systems is no single step.
  file_ = env->CreateTempFile(dir, kTempPrefix, in_place ? TempKind::kScratch : TempKind::kLinkable,
                              name_, &error);
  if (file_ == nullptr) return Fail(DirectoryDetail(error));
  in_place_ = in_place;
  unnamed_ = !in_place && name_[0] == '\0';
  return true;
}

bool OutputFile::WriteInto(FileHandle into) {
  Env* env = store_->env();
  FileHandle opened = nullptr;
  FileError error = FileError::kNone;
  if (into == nullptr) {
    opened = env->OpenToWriteInto(target_, &error);
    if (opened == nullptr) {
      Abandon();
      switch (error) {
        case FileError::kAccessDenied:
        case FileError::kReadOnlyVolume:
          return Fail(detail::kReadOnly);
        case FileError::kIsADirectory:
          return Fail(detail::kNotWritableKind);
        case FileError::kSharingViolation:
          return Fail(detail::kInUse);
        default:
          return Fail(detail::kOpenFailed);
      }
    }
    into = opened;
  }
  bool ok = env->CopyContents(file_, into, &error) && env->Sync(into);
  if (opened != nullptr && !env->Close(opened)) ok = false;
  Abandon();
  return ok ? true : Fail(detail::kWriteFailed);
}

bool OutputFile::Commit(FileHandle into) {
  Env* env = store_->env();
  if (file_ == nullptr) return Fail(detail::kCreateFailed);
  if (!env->Sync(file_)) {
    Abandon();
    return Fail(detail::kWriteFailed);
  }
  if (in_place_) return WriteInto(into);
  FileError error = FileError::kNone;
  if (!env->KeepAttributes(file_, target_, &error)) {
    Abandon();
    return Fail(detail::kCreateFailed);
  }
  if (!env->LinkIntoPlace(file_, name_, target_, &error)) {
    // Where a held file cannot be replaced, the finished bytes are copied over it; the named
    // file beside it keeps them whole until the copy is done.
    if (error == FileError::kSharingViolation) return WriteInto(into);
    Abandon();
    return Fail(DirectoryDetail(error));
  }
  name_[0] = '\0';
  env->Close(file_);
  file_ = nullptr;
  if (unnamed_) RemoveLeftoversBeside();
  return true;
}

void OutputFile::RemoveLeftoversBeside() {
  // Where files are made without a name, the only named files the library makes beside a
  // destination are whole new files on their way into place, between their link and their
  // rename: one that no live handle holds was left there by a killed process, and never took
  // its destination's place. Nothing of this is needed for the commit to stand.
  // The destination itself may bear such a name (a book kept under one, or a program's own
  // temporary copy being saved): it is never swept.
  struct Sweep {
    Env* env;
    char dir[kMaxPath];
    const char* target_name;
  } sweep;
  sweep.env = store_->env();
  if (!DirectoryOfPath(target_, sweep.dir)) return;
  sweep.target_name = target_ + strlen(target_);
  while (sweep.target_name > target_ && sweep.target_name[-1] != '/' &&
         sweep.target_name[-1] != '\\') {
    --sweep.target_name;
  }
  sweep.env->ListDirectory(
      sweep.dir, kTempPrefix, kTempSuffix,
      [](const char* name, void* context) {
        Sweep* sweep = static_cast<Sweep*>(context);
        char path[kMaxPath];
        if (!IsLibraryTempName(name) || strcmp(name, sweep->target_name) == 0 ||
            strlen(sweep->dir) + strlen(name) >= kMaxPath) {
          return true;
        }
        strcpy(path, sweep->dir);
        strcat(path, name);
        bool removed = false;
        sweep->env->RemoveIfUnheld(path, &removed, nullptr);
        return true;
      },
      &sweep, nullptr);
}

void OutputFile::Abandon() {
  Env* env = store_->env();
  if (file_ != nullptr) {
    env->Close(file_);
    file_ = nullptr;
  }
  if (name_[0] != '\0') {
    // One more try: a scanner or indexer may hold a file it just saw appear for a moment.
    if (!env->DeleteFile(name_)) env->DeleteFile(name_);
    name_[0] = '\0';
  }
  in_place_ = false;
  unnamed_ = false;
}

}  // namespace telbook
