// The table writer on Windows. The table is written to a temporary file beside it, flushed to
// disk and moved over the old table in one step: ReplaceFileW where a table exists, which keeps
// its attributes and security, else MoveFileExW. A failure at any point leaves the old table as
// it was and no temporary file. Ctrl-C, Ctrl-Break and closing the console while the table is
// written remove the temporary file before the program ends.
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <random>

#include "base/diagnostic.h"
#include "base/path.h"
#include "base/wide_windows.h"
#include "output/output_name.h"
#include "output/table_writer.h"
#include "output/write_reasons.h"

namespace opjoin {

namespace {

// The temporary file being written, for the console's control handler, which runs on a thread
// of its own. The lock keeps it from removing the file while the main thread renames it.
SRWLOCK temp_lock = SRWLOCK_INIT;
std::wstring temp_in_progress;  // empty when none

BOOL WINAPI RemoveTempOnControl(DWORD) {
  ::AcquireSRWLockExclusive(&temp_lock);
  if (!temp_in_progress.empty()) {
    ::DeleteFileW(temp_in_progress.c_str());
    temp_in_progress.clear();
  }
  ::ReleaseSRWLockExclusive(&temp_lock);
  return FALSE;  // the system's own handling goes on and ends the program
}

class TempLock {
 public:
  TempLock() { ::AcquireSRWLockExclusive(&temp_lock); }
  ~TempLock() { ::ReleaseSRWLockExclusive(&temp_lock); }
  TempLock(const TempLock&) = delete;
  TempLock& operator=(const TempLock&) = delete;
};

// The table's temporary file: created in the table's folder, then either moved over the table
// or removed. While it exists, the control handler knows it.
class TempFile {
 public:
  TempFile() { handler_installed_ = ::SetConsoleCtrlHandler(RemoveTempOnControl, TRUE) != 0; }
  ~TempFile() {
    if (file_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(file_);
    }
    Discard();
    if (handler_installed_) {
      ::SetConsoleCtrlHandler(RemoveTempOnControl, FALSE);
    }
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // Creates the file in `folder`. Others may delete it meanwhile (the control handler does).
  bool Create(const std::string& folder, std::string* error) {
    std::minstd_rand random(static_cast<std::uint_fast32_t>(
        ::GetCurrentProcessId() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
    static constexpr std::string_view kChars = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = ".opjoin-";
      for (int i = 0; i < 6; ++i) {
        name += kChars[random() % kChars.size()];
      }
      std::wstring path = Utf8ToWide(AbsolutePath(folder, name));
      TempLock lock;
      file_ = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file_ != INVALID_HANDLE_VALUE) {
        temp_in_progress = path;
        return true;
      }
      if (::GetLastError() != ERROR_FILE_EXISTS) {
        *error = SystemErrorText(::GetLastError());
        return false;
      }
    }
    *error = SystemErrorText(ERROR_FILE_EXISTS);
    return false;
  }

  // Writes `bytes` at the end of the file.
  bool Write(std::string_view bytes, std::string* error) {
    while (!bytes.empty()) {
      DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 20));
      DWORD written = 0;
      if (!::WriteFile(file_, bytes.data(), chunk, &written, nullptr)) {
        *error = SystemErrorText(::GetLastError());
        return false;
      }
      if (written == 0) {
        *error = SystemErrorText(ERROR_WRITE_FAULT);
        return false;
      }
      bytes.remove_prefix(written);
    }
    return true;
  }

  // Flushes the file to disk, closes it and moves it over `target` (absolute). Nothing of it
  // is left when that fails.
  bool Finish(const std::string& target, bool target_exists, std::string* error) {
    bool ok = ::FlushFileBuffers(file_) != 0;
    DWORD failure = ok ? 0 : ::GetLastError();
    if (!::CloseHandle(file_) && ok) {
      ok = false;
      failure = ::GetLastError();
    }
    file_ = INVALID_HANDLE_VALUE;
    if (ok) {
      TempLock lock;
      const std::wstring wide_target = Utf8ToWide(target);
      ok = temp_in_progress.empty() ? false
           : target_exists ? ::ReplaceFileW(wide_target.c_str(), temp_in_progress.c_str(), nullptr,
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                           : ::MoveFileExW(temp_in_progress.c_str(), wide_target.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      failure = ok ? 0 : ::GetLastError();
      if (ok) {
        temp_in_progress.clear();
      }
    }
    if (!ok) {
      *error = SystemErrorText(failure);
    }
    return ok;
  }

 private:
  // Removes the file if it is still there.
  void Discard() {
    TempLock lock;
    if (!temp_in_progress.empty()) {
      ::DeleteFileW(temp_in_progress.c_str());
      temp_in_progress.clear();
    }
  }

  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool handler_installed_ = false;
};

// The identity of the file at `path`, when it can be opened to ask.
bool FileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION* info) {
  HANDLE file = ::CreateFileW(Utf8ToWide(path).c_str(), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool ok = ::GetFileInformationByHandle(file, info) != 0;
  ::CloseHandle(file);
  return ok;
}

// Whether `a` and `b` name one file, under two names (case, short names, links) or one.
bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first;
  BY_HANDLE_FILE_INFORMATION second;
  return FileIdentity(a, &first) && FileIdentity(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

// Checks that the table at `target` may be written: absent, or a writable regular file.
bool CheckTarget(const std::string& target, bool* exists, std::string* error) {
  DWORD attributes = ::GetFileAttributesW(Utf8ToWide(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD failure = ::GetLastError();
    *exists = false;
    if (failure == ERROR_FILE_NOT_FOUND) {
      return true;
    }
    *error = SystemErrorText(failure);
    return false;
  }
  *exists = true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    *error = ErrnoText(EISDIR);
  } else if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    *error = write_reasons::kNotRegularFile;
  } else if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    *error = write_reasons::kReadOnly;
  } else {
    return true;
  }
  return false;
}

}  // namespace

bool WriteTable(std::string_view log_path, std::span<const std::string> rows, WriteFailure* failure,
                std::string* error) {
  const std::string output_name = OutputNameFor(log_path);
  if (output_name == log_path || SameFile(output_name, std::string(log_path))) {
    *failure = WriteFailure::kSameAsLog;
    *error = write_reasons::kIsLog;
    return false;
  }
  bool exists = false;
  TempFile temp;
  if (!CheckTarget(output_name, &exists, error) || !temp.Create(FolderOf(output_name), error)) {
    *failure = WriteFailure::kNotOpened;
    return false;
  }
  bool written = true;
  for (std::size_t row = 0; written && row < rows.size(); ++row) {
    written = temp.Write(rows[row], error) && temp.Write("\r\n", error);
  }
  if (!written || !temp.Finish(output_name, exists, error)) {
    *failure = WriteFailure::kNotWritten;
    return false;
  }
  return true;
}

}  // namespace opjoin
