// The Open dialog on Windows: the system's common dialog (GetOpenFileNameW), configured from
// the dialog's description as it stands. The system gives the flags their effects.
#include "dialog/description.h"
#include "dialog/window/window_dialog.h"

namespace {

// The description's names for the flags and results, read before <windows.h> makes the same
// names macros, so that they can be checked against the system's values below.
constexpr unsigned long kOurFlags[] = {
    opjoin::OFN_OVERWRITEPROMPT,  opjoin::OFN_HIDEREADONLY,    opjoin::OFN_NOCHANGEDIR,
    opjoin::OFN_PATHMUSTEXIST,    opjoin::OFN_CREATEPROMPT,    opjoin::OFN_NOREADONLYRETURN,
    opjoin::OFN_NOTESTFILECREATE, opjoin::OFN_NONETWORKBUTTON, opjoin::OFN_ENABLESIZING,
};
constexpr int kOurIdOk = opjoin::IDOK;

}  // namespace

#include <windows.h>

#include <cderr.h>
#include <commdlg.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/wide_windows.h"

static_assert(kOurFlags[0] == OFN_OVERWRITEPROMPT && kOurFlags[1] == OFN_HIDEREADONLY &&
              kOurFlags[2] == OFN_NOCHANGEDIR && kOurFlags[3] == OFN_PATHMUSTEXIST &&
              kOurFlags[4] == OFN_CREATEPROMPT && kOurFlags[5] == OFN_NOREADONLYRETURN &&
              kOurFlags[6] == OFN_NOTESTFILECREATE && kOurFlags[7] == OFN_NONETWORKBUTTON &&
              kOurFlags[8] == OFN_ENABLESIZING && kOurIdOk == IDOK);

namespace opjoin {

namespace {

// Room for a path of the longest length the system allows, not only MAX_PATH.
constexpr DWORD kPathBufferLength = 32768;

// Whether a window can be made at all: without a desktop to show it on, the dialog would
// return as if cancelled.
bool CanMakeWindows(std::string* error) {
  HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    const DWORD failure = ::GetLastError();
    *error = failure == 0 ? std::string(dialog_text::kNoDesktop)
                          : Fill(dialog_text::kNoWindows, {SystemErrorText(failure)});
    return false;
  }
  ::DestroyWindow(window);
  return true;
}

std::string CommonDialogErrorText(DWORD error) {
  char code[16];
  std::snprintf(code, sizeof code, "%04lX", static_cast<unsigned long>(error));
  std::string_view meaning;
  switch (error) {
    case FNERR_BUFFERTOOSMALL:
      meaning = dialog_text::kNameTooLong;
      break;
    case FNERR_INVALIDFILENAME:
      meaning = dialog_text::kNameInvalid;
      break;
    case CDERR_MEMALLOCFAILURE:
    case CDERR_MEMLOCKFAILURE:
      meaning = dialog_text::kOutOfMemory;
      break;
    default:
      break;
  }
  return Fill(dialog_text::kCommonDialogFailed, {code, meaning});
}

class CommonOpenDialog final : public OpenDialog {
 public:
  explicit CommonOpenDialog(const OpenDialogDescription& description) : description_(description) {}

  int DoModal() override {
    // "shown\0patterns\0...\0\0", as OPENFILENAMEW wants its filter.
    std::wstring filter;
    for (const FilterEntry& entry : description_.filters) {
      filter += Utf8ToWide(entry.shown_text) + L'\0' + Utf8ToWide(entry.patterns) + L'\0';
    }
    filter += L'\0';
    const std::wstring title = Utf8ToWide(description_.title);
    const std::wstring default_extension = Utf8ToWide(description_.default_extension);
    std::vector<wchar_t> path(kPathBufferLength, L'\0');

    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = static_cast<DWORD>(description_.selected_filter + 1);
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = kPathBufferLength;
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = default_extension.empty() ? nullptr : default_extension.c_str();
    dialog.Flags = description_.flags | OFN_EXPLORER;
    if (::GetOpenFileNameW(&dialog)) {
      chosen_path_ = WideToUtf8(path.data());
      return IDOK;
    }
    if (DWORD error = ::CommDlgExtendedError(); error != 0) {
      failure_ = CommonDialogErrorText(error);
      return kDialogFailed;
    }
    return IDCANCEL;
  }

  std::string GetPathName() const override { return chosen_path_; }
  std::string Failure() const override { return failure_; }

 private:
  OpenDialogDescription description_;
  std::string chosen_path_;
  std::string failure_;
};

}  // namespace

bool WindowDialogMayShow() {
  return true;
}

bool StartWindowDialog(const OpenDialogDescription& description, FatalStartupHandler,
                       std::unique_ptr<OpenDialog>* dialog, std::string* error) {
  if (!CanMakeWindows(error)) {
    return false;
  }
  *dialog = std::make_unique<CommonOpenDialog>(description);
  return true;
}

}  // namespace opjoin
