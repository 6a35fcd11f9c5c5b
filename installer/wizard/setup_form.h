// SetupForm is the installer's one window and the controller of the whole
// installation: the home page with its options and checks, the download page
// with the carousel and progress, the end page, the message boxes and the
// funnel events. Built from "form/setup_form.xml".
//
// Threads: everything here runs on the UI thread. The downloader sends its
// progress synchronously from its poll thread and posts its result; the
// installation runs on a thread of its own with a copy of its inputs
// (InstallTask) and only posts WM_INSTALL_FINISHED back, so nothing outside
// the UI thread ever touches this object. Owns itself once created (see
// WindowImplBase).
#ifndef INSTALLER_WIZARD_SETUP_FORM_H_
#define INSTALLER_WIZARD_SETUP_FORM_H_

#include <windows.h>
#include <shobjidl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/win32/scoped_handle.h"
#include "installer/HttpClient/HttpDownloader.h"
#include "installer/utils/analytics_client.h"
#include "installer/utils/language.h"
#include "installer/utils/product_settings.h"
#include "installer/utils/report_client.h"
#include "installer/wizard/install_task.h"
#include "ui/box/tab_box.h"
#include "ui/control/button.h"
#include "ui/control/check_box.h"
#include "ui/control/combo.h"
#include "ui/control/label.h"
#include "ui/control/progress.h"
#include "ui/control/rich_edit.h"
#include "ui/window/window_impl_base.h"


class SetupForm : public ui::WindowImplBase {
 public:
  enum Page { kHomePage = 0, kDownloadPage = 1, kEndPage = 2 };
  static constexpr UINT_PTR kCarouselTimer = 3000;
  static constexpr UINT kCarouselPeriodMs = 5000;
  // The buttons of the error boxes; Retry is the default of both.
  static constexpr UINT kQuitBoxFlags = MB_OKCANCEL | MB_ICONWARNING;
  static constexpr UINT kNetworkBoxFlags = MB_RETRYCANCEL | MB_ICONWARNING;
  static constexpr UINT kErrorBoxFlags = MB_ABORTRETRYIGNORE | MB_ICONWARNING | MB_DEFBUTTON2;

  // |title| is the window's name and its class name.
  explicit SetupForm(std::wstring title);
  ~SetupForm() override;

  std::wstring WindowClassName() const override;
  void Close(UINT code = 0) override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnSkinLoaded() override;
  LRESULT OnClose(UINT message, WPARAM wparam, LPARAM lparam, bool* handled) override;
  std::wstring SkinFolder() const override { return L"form"; }
  std::wstring SkinFile() const override { return L"setup_form.xml"; }
  virtual void HandleTimer(UINT message, WPARAM timer_id, LPARAM lparam);
  virtual bool HandleUiEvent(ui::EventArgs* args);

  void ApplyTexts();
  // Shows language |key| at once, as picking it in the combo would, with
  // no event (the language tour's checks).
  void ShowLanguage(const std::wstring& key);
  void ShowSlide(int index);
  void ShowProgress(int value);
  int CurrentPage() const;

 private:
  // A message posted while a box of ours is showing, handled after it.
  struct HeldMessage {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };

  void InitData();
  void CreateDownloader();
  void FillLanguageList();
  void ToggleCustomBox(ui::CheckBox* clicked);
  // Applies the language the combo shows when it is not the current one.
  void ApplyComboLanguage();
  void BrowseForFolder();
  bool IsProductRunning();
  bool CheckInstallPath(double required_bytes);
  void OnInstallClick();
  void StartDownload();
  void RetryDownload();
  void OnDownloadFinished(bool success);
  void OnInstallFinished(InstallOutcome outcome);
  void StartInstallation();
  // The error box: Retry runs |retry|, Abort goes home, Ignore gives up to
  // the browser.
  void AskAfterError(const std::function<void()>& retry);
  // Back to the home page with the toggles cleared.
  void ReturnHome();
  // Ignore: the browser fetches the installer, the end page shows, the
  // process ends.
  void GiveUpToBrowser();
  void StartNow();
  bool OnLinkClick(ui::EventArgs* args);
  void SetTaskbarProgress(TBPFLAG state, ULONGLONG value);
  // Every box is owned by the wizard, and results that arrive meanwhile wait
  // until it closes.
  int ShowBox(const std::wstring& text, UINT flags);
  void ReleaseHeldMessages();

  ui::TabBox* switch_ = nullptr;
  ui::Button* minbtn_ = nullptr;
  ui::Button* closebtn_ = nullptr;
  ui::Button* btn_install_ = nullptr;
  ui::HyperlinkText* link_agreement_ = nullptr;
  ui::CheckBox* checkbox_text_ = nullptr;
  ui::CheckBox* checkbox_icon_ = nullptr;
  ui::Box* box_custom_ = nullptr;
  ui::Label* label_langauge_ = nullptr;
  ui::Combo* combo_language_ = nullptr;
  ui::Label* label_path_ = nullptr;
  ui::RichEdit* edit_path_ = nullptr;
  ui::Label* label_error_ = nullptr;
  ui::CheckBox* checkbox_default_ = nullptr;
  ui::Control* download_bk_ = nullptr;
  ui::Label* label_carousel_ = nullptr;
  ui::Label* label_installing_ = nullptr;
  ui::Label* label_progress_ = nullptr;
  ui::Progress* progress_ = nullptr;
  ui::Button* btn_hide_ = nullptr;
  ui::Label* label_tip_ = nullptr;
  ui::Label* label_complete_ = nullptr;
  ui::Button* btn_start_ = nullptr;

  const std::wstring title_;
  ProductSettings settings_;
  LanguageCatalogue languages_;
  int carousel_index_ = 1;
  AnalyticsClient analytics_;
  ReportClient report_;
  base::win32::ScopedComPtr<ITaskbarList3> taskbar_;
  std::unique_ptr<CHttpDownloader> downloader_;
  std::wstring slogans_[3];

  // Sent to ourselves when the last box closed and results wait.
  static constexpr UINT kReleaseHeldMessage = WM_APP + 0x67;
  int boxes_showing_ = 0;
  std::vector<HeldMessage> held_;
  bool quitting_ = false;
};

#endif  // INSTALLER_WIZARD_SETUP_FORM_H_
