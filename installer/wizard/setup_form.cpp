#include "installer/wizard/setup_form.h"

#include <shlobj.h>

#include <cwchar>

#include "base/log/log.h"
#include "base/util/string_util.h"
#include "installer/utils/device_id.h"
#include "installer/utils/public_fun.h"
#include "installer/utils/setup_launcher.h"
#include "ui/box/list_box.h"
#include "ui/core/string_table.h"
#include "ui/utils/dpi_scaler.h"

namespace {

// Process-wide: one quit box at a time, whatever calls Close.
bool g_quit_box_showing = false;

std::wstring Text(const wchar_t* id) { return ui::StringTable::GetText(id); }

std::string Utf8(const std::wstring& text) { return base::WideToUtf8(text); }

// A table's message with its one placeholder filled. Not a format string: a
// table with a stray "%s" would otherwise read arguments that are not there.
std::wstring FillPlaceholder(std::wstring text, const wchar_t* placeholder, const std::wstring& value) {
  const size_t at = text.find(placeholder);
  if (at != std::wstring::npos) text.replace(at, std::wcslen(placeholder), value);
  return text;
}

template <typename T>
T* Find(ui::Window* window, const wchar_t* name) {
  return dynamic_cast<T*>(window->FindControl(name));
}

// The shell's item list, freed with the task allocator.
struct ItemIdListTraits {
  static void Free(PIDLIST_ABSOLUTE list) { ::CoTaskMemFree(list); }
  static PIDLIST_ABSOLUTE InvalidValue() { return nullptr; }
};

}  // namespace

SetupForm::SetupForm(std::wstring title) : title_(std::move(title)) {}

SetupForm::~SetupForm() = default;

std::wstring SetupForm::WindowClassName() const { return title_; }

int SetupForm::CurrentPage() const { return switch_ ? switch_->GetCurSel() : kHomePage; }

LRESULT SetupForm::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      HandleTimer(message, wparam, lparam);
      break;
    case WM_DOWNLOAD_PROGRESS: {
      const auto* progress = reinterpret_cast<const DownloadProgress*>(lparam);
      if (progress && progress->percent <= 100) ShowProgress(ProgressStep(progress->percent));
      break;
    }
    case kReleaseHeldMessage:
      ReleaseHeldMessages();
      break;
    case WM_DOWNLOAD_FINISHED:
    case WM_INSTALL_FINISHED:
      // A confirmed quit is final: no box, no page, no installation after it.
      if (quitting_) break;
      // A box's own loop dispatches posted messages: an error box must not
      // stack on the quit box, nor the end page arrive under it.
      if (boxes_showing_ > 0) {
        held_.push_back({message, wparam, lparam});
        break;
      }
      if (message == WM_DOWNLOAD_FINISHED) OnDownloadFinished(lparam != 0);
      else OnInstallFinished(static_cast<InstallOutcome>(wparam));
      break;
    default:
      break;
  }
  return WindowImplBase::HandleMessage(message, wparam, lparam);
}

void SetupForm::OnSkinLoaded() {
  QLOG_APP(L"------- init window -------");
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Shared icons belong to the system; nothing to free.
  auto icon = [instance](int metric_x, int metric_y) {
    return static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(107), IMAGE_ICON, ::GetSystemMetrics(metric_x),
                                           ::GetSystemMetrics(metric_y), LR_SHARED));
  };
  ::SendMessageW(GetHWND(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon(SM_CXICON, SM_CYICON)));
  ::SendMessageW(GetHWND(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon(SM_CXSMICON, SM_CYSMICON)));

  GetRoot()->SubscribeBubbled(ui::kEventAll, ui::WeakHandler(this, [this](ui::EventArgs* args) {
                                return HandleUiEvent(args);
                              }));
  minbtn_ = Find<ui::Button>(this, L"minbtn");
  closebtn_ = Find<ui::Button>(this, L"closebtn");
  switch_ = Find<ui::TabBox>(this, L"switch");
  btn_install_ = Find<ui::Button>(this, L"btn_install");
  link_agreement_ = Find<ui::HyperlinkText>(this, L"link_agreement");
  checkbox_text_ = Find<ui::CheckBox>(this, L"checkbox_text");
  checkbox_icon_ = Find<ui::CheckBox>(this, L"checkbox_icon");
  if (link_agreement_) {
    link_agreement_->Subscribe(ui::kEventCustomLinkClick,
                               ui::WeakHandler(this, [this](ui::EventArgs* args) { return OnLinkClick(args); }));
  }
  box_custom_ = Find<ui::Box>(this, L"box_custom");
  label_langauge_ = Find<ui::Label>(this, L"label_langauge");
  combo_language_ = Find<ui::Combo>(this, L"combo_language");
  label_path_ = Find<ui::Label>(this, L"label_path");
  // A single-line field: it never wraps.
  edit_path_ = Find<ui::RichEdit>(this, L"edit_path");
  label_error_ = Find<ui::Label>(this, L"label_error");
  checkbox_default_ = Find<ui::CheckBox>(this, L"checkbox_default");
  download_bk_ = FindControl(L"download_bk");
  label_carousel_ = Find<ui::Label>(this, L"label_carousel");
  label_installing_ = Find<ui::Label>(this, L"label_installing");
  label_progress_ = Find<ui::Label>(this, L"label_progress");
  progress_ = Find<ui::Progress>(this, L"progress");
  btn_hide_ = Find<ui::Button>(this, L"btn_hide");
  label_tip_ = Find<ui::Label>(this, L"label_tip");
  label_complete_ = Find<ui::Label>(this, L"label_complete");
  btn_start_ = Find<ui::Button>(this, L"btn_start");
  InitData();
}

void SetupForm::InitData() {
  QLOG_APP(L"------- init data -------");
  languages_.Init(GetUserUILanguageCode());
  settings_.Load();
  const std::string device_id = GetDeviceId();
  QLOG_APP(L"------- init ga -------");
  analytics_.InitFromSettings(settings_, device_id);
  QLOG_APP(L"------- init xd -------");
  report_.InitFromSettings(settings_, device_id, GetFileVersionString(ExecutableFileName()));
  CreateDownloader();
  FillLanguageList();
  if (edit_path_) edit_path_->SetText(settings_.GetDefaultInstallPath());
  if (closebtn_) closebtn_->SetVisibleWithFade(true);
  if (minbtn_) minbtn_->SetVisibleWithFade(true);
  if (checkbox_text_) checkbox_text_->SetSelected(false, false);
  if (checkbox_icon_) checkbox_icon_->SetSelected(false, false);
  if (switch_) switch_->SelectItem(kHomePage);
  ApplyTexts();
  if (carousel_index_ >= 1 && carousel_index_ <= 3) ShowSlide(carousel_index_);
  analytics_.SendEvent("Installer_Popup", "");
}

void SetupForm::ApplyTexts() {
  if (btn_install_) btn_install_->SetText(Text(L"STRID_HOMEPAGE_INSTALL"));
  if (link_agreement_) link_agreement_->SetLinkText(Text(L"STRID_HOMEPAGE_AGREEMENT"));
  if (checkbox_text_) checkbox_text_->SetText(Text(L"STRID_HOMEPAGE_CUSTOM") + L"  ");
  if (label_langauge_) label_langauge_->SetText(Text(L"STRID_HOMEPAGE_LANGUAGE_OPTIONS"));
  if (label_path_) label_path_->SetText(Text(L"STRID_HOMEPAGE_INSTALL_PATH"));
  if (label_error_) label_error_->SetText(Text(L"STRID_HOMEPAGE_INVALID_PATH"));
  if (checkbox_default_) checkbox_default_->SetText(Text(L"STRID_HOMEPAGE_ASSOC_DEFAULT"));
  if (label_installing_) label_installing_->SetText(Text(L"STRID_DOWNLOADPAGE_INSTALLING"));
  if (label_tip_) label_tip_->SetText(Text(L"STRID_DOWNLOADPAGE_INSTALL_TIP"));
  if (btn_hide_) btn_hide_->SetText(Text(L"STRID_DOWNLOADPAGE_HIDE"));
  slogans_[0] = Text(L"STRID_DOWNLOADPAGE_CAROUSEL0");
  slogans_[1] = Text(L"STRID_DOWNLOADPAGE_CAROUSEL1");
  slogans_[2] = Text(L"STRID_DOWNLOADPAGE_CAROUSEL2");
  if (label_complete_) label_complete_->SetText(Text(L"STRID_ENDPAGE_COMPLETE") + L" ");
  if (btn_start_) btn_start_->SetText(Text(L"STRID_ENDPAGE_START"));
}

bool SetupForm::HandleUiEvent(ui::EventArgs* args) {
  if (!args->sender) return true;
  const std::wstring& name = args->sender->GetName();
  if (args->type == ui::kEventClick) {
    if (name == L"btn_install") OnInstallClick();
    else if (name == L"btn_path") BrowseForFolder();
    else if (name == L"btn_hide") ::SendMessageW(GetHWND(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"btn_start") StartNow();
  } else if (args->type == ui::kEventSelect || args->type == ui::kEventUnSelect) {
    if (name == L"checkbox_text" || name == L"checkbox_icon") {
      ToggleCustomBox(dynamic_cast<ui::CheckBox*>(args->sender));
    } else if (name == L"combo_language") {
      ApplyComboLanguage();
    }
  }
  return true;
}

bool SetupForm::OnLinkClick(ui::EventArgs* args) {
  const std::wstring name = link_agreement_->GetLinkName(args);
  if (name == L"eula") OpenUrl(Text(L"URLID_EULA"));
  else if (name == L"terms") OpenUrl(Text(L"URLID_TERMS"));
  return true;
}

int SetupForm::ShowBox(const std::wstring& text, UINT flags) {
  ++boxes_showing_;
  const int answer = ::MessageBoxW(GetHWND(), text.c_str(), L"", flags);
  --boxes_showing_;
  // Handled after the caller has acted on the answer.
  if (boxes_showing_ == 0 && !held_.empty()) ::PostMessageW(GetHWND(), kReleaseHeldMessage, 0, 0);
  return answer;
}

void SetupForm::ReleaseHeldMessages() {
  if (boxes_showing_ > 0 || quitting_) return;
  std::vector<HeldMessage> held;
  held.swap(held_);
  for (const HeldMessage& m : held) ::PostMessageW(GetHWND(), m.message, m.wparam, m.lparam);
}

void SetupForm::Close(UINT code) {
  if (CurrentPage() == kEndPage) {
    Window::Close(code);
    return;
  }
  if (g_quit_box_showing) return;
  g_quit_box_showing = true;
  const int answer = ShowBox(Text(L"STRID_BOX_QUIT"), kQuitBoxFlags);
  g_quit_box_showing = false;
  if (answer != IDOK) return;
  // Results held while the box showed have not changed the page, but a
  // finished installation must never be reported as cancelled.
  if (CurrentPage() != kEndPage) analytics_.SendEvent("Install_Cancel", "");
  quitting_ = true;
  held_.clear();
  Window::Close(code);
}

LRESULT SetupForm::OnClose(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) {
  if (wparam == 0) {
    Close(1);
    *handled = true;
    return 0;
  }
  if (CurrentPage() == kEndPage) {
    const std::wstring feedback = Text(L"URLID_INSTALL");
    if (!feedback.empty()) OpenUrl(feedback);
  }
  ::PostQuitMessage(0);
  return WindowImplBase::OnClose(message, wparam, lparam, handled);
}

// --- Home page options ---------------------------------------------------

void SetupForm::FillLanguageList() {
  if (!combo_language_) return;
  const std::map<std::wstring, LanguageInfo> languages = languages_.GetLanguages();
  const std::wstring current = languages_.GetCurrentLanguage();
  ui::DpiScaler& dpi = ui::DpiScaler::GetInstance();
  int selected = 0;
  for (const auto& entry : languages) {
    auto* item = new ui::ListContainerElement();  // the combo's list owns it
    item->SetAttribute(L"class", L"listitem");
    item->SetFixedHeight(dpi.ScaleLength(28));
    item->SetBkColor(L"white");
    item->SetTextPadding(RECT{6, 0, 6, 0}, true);
    item->SetText(entry.second.display_name);
    combo_language_->Add(item);
    if (entry.first == current) selected = static_cast<int>(combo_language_->GetCount()) - 1;
  }
  combo_language_->SelectItem(selected);
}

void SetupForm::ToggleCustomBox(ui::CheckBox* clicked) {
  if (!clicked) return;
  const bool open = clicked->IsSelected();
  ui::CheckBox* other = clicked == checkbox_text_ ? checkbox_icon_ : checkbox_text_;
  if (other) other->SetSelected(open, false);
  ui::DpiScaler& dpi = ui::DpiScaler::GetInstance();
  int height = 360;
  if (open && box_custom_) height += box_custom_->GetFixedHeight() * 100 / dpi.ScalePercent();
  if (switch_) switch_->SetFixedHeight(dpi.ScaleLength(height));
  if (box_custom_) box_custom_->SetVisibleWithFade(open);
}

void SetupForm::ApplyComboLanguage() {
  if (!combo_language_) return;
  const std::wstring shown = combo_language_->GetText();
  std::wstring key = languages_.GetCurrentLanguage();
  for (const auto& entry : languages_.GetLanguages()) {
    if (entry.second.display_name == shown) {
      key = entry.first;
      break;
    }
  }
  if (key == languages_.GetCurrentLanguage()) return;
  languages_.SelectLanguage(key);
  ApplyTexts();
  if (carousel_index_ >= 1 && carousel_index_ <= 3) ShowSlide(carousel_index_);
}

void SetupForm::ShowLanguage(const std::wstring& key) {
  languages_.SelectLanguage(key);
  if (combo_language_) {
    // The combo lists the catalogue in its order.
    int index = 0;
    for (const auto& entry : languages_.GetLanguages()) {
      if (entry.first == languages_.GetCurrentLanguage()) combo_language_->SelectItem(index);
      ++index;
    }
  }
  ApplyTexts();
  if (carousel_index_ >= 1 && carousel_index_ <= 3) ShowSlide(carousel_index_);
}

void SetupForm::BrowseForFolder() {
  BROWSEINFOW info = {};
  info.hwndOwner = GetHWND();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_NEWDIALOGSTYLE;  // 0x43
  ++boxes_showing_;
  base::win32::ScopedGeneric<PIDLIST_ABSOLUTE, ItemIdListTraits> chosen(::SHBrowseForFolderW(&info));
  --boxes_showing_;
  wchar_t path[MAX_PATH] = {};
  const bool have_path = chosen.Valid() && ::SHGetPathFromIDListW(chosen.Get(), path) && path[0];
  if (have_path && edit_path_) {
    edit_path_->SetText(BrowsedInstallPath(path, settings_.GetValue(L"INSTALL_DIR1"),
                                           settings_.GetValue(L"INSTALL_DIR2")));
  }
  if (boxes_showing_ == 0 && !held_.empty()) ::PostMessageW(GetHWND(), kReleaseHeldMessage, 0, 0);
}

bool SetupForm::IsProductRunning() {
  if (!::IsProcessRunning(settings_.GetProcessName())) return false;
  ShowBox(FillPlaceholder(Text(L"STRID_BOX_APP_RUNNING"), L"%s", settings_.GetProductName()),
          MB_OK | MB_ICONWARNING);
  return true;
}

bool SetupForm::CheckInstallPath(double required_bytes) {
  const std::wstring path = edit_path_ ? edit_path_->GetText() : std::wstring();
  if (!IsValidInstallPath(path)) {
    if (label_error_) label_error_->SetVisibleWithFade(true);
    return false;
  }
  // The path is fine now, whatever the space says.
  if (label_error_) label_error_->SetVisibleWithFade(false);
  const long long required_mb = static_cast<long long>(required_bytes / 1048576.0);
  const double free_mb = GetDiskFreeMB(NormalizeDirPath(path));
  if (free_mb < static_cast<double>(required_mb)) {
    ShowBox(FillPlaceholder(Text(L"STRID_BOX_DISK_NOT_ENOUGH"), L"%d", std::to_wstring(required_mb)),
            MB_OK | MB_ICONWARNING);
    return false;
  }
  return true;
}

// --- Download, installation, completion ----------------------------------

void SetupForm::CreateDownloader() {
  if (downloader_) return;
  QLOG_APP(L"download_url:{0}") << settings_.GetDownloadUrl();
  std::wstring folder = LocalAppDataFolder() + L"Temp\\";
  for (wchar_t& c : folder) {
    if (c == L'/') c = L'\\';
  }
  downloader_ = std::make_unique<CHttpDownloader>(GetHWND(), settings_.GetDownloadUrl(), folder);
  downloader_->SetExpectedSha256(Utf8(settings_.GetDownloadSha256()));
  downloader_->SetExpectedSigner(settings_.GetDownloadSigner());
}

void SetupForm::OnInstallClick() {
  analytics_.SendEvent("Install_Start", "");
  report_.Send("install", "start");
  // The combo may show a language picked with the keys, without an event:
  // install what the user sees.
  ApplyComboLanguage();
  if (IsProductRunning()) return;
  if (!CheckInstallPath(downloader_ ? 3 * downloader_->m_fileSize.load() : 0)) return;
  if (closebtn_) closebtn_->SetVisibleWithFade(false);
  if (minbtn_) minbtn_->SetVisibleWithFade(false);
  if (switch_) {
    switch_->SelectItem(kDownloadPage);
    switch_->SetFixedHeight(ui::DpiScaler::GetInstance().ScaleLength(360));
  }
  if (box_custom_) box_custom_->SetVisibleWithFade(false);
  // One normalised folder for the checks, the settings, the installer's
  // switch and the product's path.
  settings_.SetInstallPath(edit_path_ ? edit_path_->GetText() : std::wstring());
  if (!taskbar_) {
    HRESULT hr = ::CoCreateInstance(CLSID_TaskbarList, nullptr, 0x17, IID_ITaskbarList3, taskbar_.ReceiveVoid());
    if (FAILED(hr) || !taskbar_ || FAILED(taskbar_->HrInit())) taskbar_.Reset();
  }
  ShowProgress(0);
  StartDownload();
  ::SetTimer(GetHWND(), kCarouselTimer, kCarouselPeriodMs, nullptr);
  carousel_index_ = 1;
}

void SetupForm::StartDownload() {
  if (!downloader_) return;
  QLOG_APP(L"------- start download -------");
  RemoveFile(downloader_->GetDownloadFilePath());
  downloader_->Start();
}

void SetupForm::RetryDownload() {
  QLOG_APP(L"------- retry download -------");
  ShowProgress(0);
  StartDownload();
}

void SetupForm::ShowProgress(int value) {
  if (!progress_ || static_cast<int>(progress_->GetValue()) == value) return;
  progress_->SetValue(value);
  if (label_progress_) label_progress_->SetText(base::FormatText(L"(%d%%)", value));
  SetTaskbarProgress(TBPF_NORMAL, static_cast<ULONGLONG>(value));
}

void SetupForm::SetTaskbarProgress(TBPFLAG state, ULONGLONG value) {
  if (!taskbar_) return;
  taskbar_->SetProgressState(GetHWND(), state);
  taskbar_->SetProgressValue(GetHWND(), value, 100);
}

void SetupForm::HandleTimer(UINT, WPARAM timer_id, LPARAM) {
  if (timer_id != kCarouselTimer) return;
  if (++carousel_index_ > 3) carousel_index_ = 1;
  ShowSlide(carousel_index_);
}

void SetupForm::ShowSlide(int index) {
  if (index < 1 || index > 3) return;
  if (label_carousel_) label_carousel_->SetText(slogans_[index - 1]);
  if (download_bk_) download_bk_->SetBkImage(base::FormatText(L"bkimage/%d.jpg", index));
}

void SetupForm::OnDownloadFinished(bool success) {
  if (success) {
    QLOG_APP(L"------- download success -------");
    const double seconds = downloader_ ? downloader_->GetElapsedSeconds() : 0;
    analytics_.SendEvent("Install_Time", DownloadTimeBucket(seconds));
    StartInstallation();
    return;
  }
  QLOG_APP(L"------- download failed -------");
  SetTaskbarProgress(TBPF_ERROR, 100);
  if (!IsInternetConnected()) {
    if (ShowBox(Text(L"STRID_BOX_NETWORK_ERROR"), kNetworkBoxFlags) == IDRETRY) RetryDownload();
    else ReturnHome();
  } else {
    AskAfterError([this] { RetryDownload(); });
  }
  SetTaskbarProgress(TBPF_NORMAL, 0);
}

void SetupForm::AskAfterError(const std::function<void()>& retry) {
  switch (ShowBox(Text(L"STRID_BOX_UNKOWN_ERROR"), kErrorBoxFlags)) {
    case IDRETRY:
      retry();
      break;
    case IDIGNORE:
      GiveUpToBrowser();
      break;
    default:
      ReturnHome();
      break;
  }
}

void SetupForm::StartInstallation() {
  InstallTask task;
  task.notify_window = GetHWND();
  task.installer_file = downloader_ ? downloader_->GetDownloadFilePath() : std::wstring();
  task.install_folder = settings_.GetInstallPath();
  task.password = settings_.GetInstallerPassword();
  task.product_exe = settings_.GetProductExePath();
  task.language_cache_file = settings_.GetCacheFilePath(L"language");
  task.language_key = languages_.GetCurrentLanguage();
  task.default_viewer = checkbox_default_ ? checkbox_default_->IsSelected() : true;
  if (!StartInstallThread(task)) ::PostMessageW(GetHWND(), WM_INSTALL_FINISHED, kInstallerNotStarted, 0);
}

void SetupForm::OnInstallFinished(InstallOutcome outcome) {
  if (outcome != kInstallSucceeded) {
    QLOG_ERR(L"------- install failed:{0} -------") << static_cast<int>(outcome);
    SetTaskbarProgress(TBPF_ERROR, 100);
    AskAfterError([this] {
      // A kept installer runs again; one already used is fetched anew.
      if (downloader_ && PathExists(downloader_->GetDownloadFilePath(), false)) StartInstallation();
      else RetryDownload();
    });
    SetTaskbarProgress(TBPF_NORMAL, 0);
    return;
  }
  analytics_.SendEvent("Install_End", "");
  report_.Send("install", "end");
  if (closebtn_) closebtn_->SetVisibleWithFade(true);
  if (minbtn_) minbtn_->SetVisibleWithFade(false);
  if (switch_) switch_->SelectItem(kEndPage);
  SetTaskbarProgress(TBPF_NORMAL, 0);
}

void SetupForm::ReturnHome() {
  if (closebtn_) closebtn_->SetVisibleWithFade(true);
  if (minbtn_) minbtn_->SetVisibleWithFade(true);
  if (checkbox_text_) checkbox_text_->SetSelected(false, false);
  if (checkbox_icon_) checkbox_icon_->SetSelected(false, false);
  if (switch_) switch_->SelectItem(kHomePage);
}

void SetupForm::GiveUpToBrowser() {
  OpenUrl(settings_.GetDownloadUrl());
  if (closebtn_) closebtn_->SetVisibleWithFade(true);
  if (minbtn_) minbtn_->SetVisibleWithFade(false);
  if (switch_) switch_->SelectItem(kEndPage);
  ::PostQuitMessage(0);
}

void SetupForm::StartNow() {
  StartProductUnelevated(settings_.GetProductExePath(), L"");
  Close(1);
}
