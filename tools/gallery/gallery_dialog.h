// The gallery's dialogs: the GPS dialog and the settings dialog with sample texts. Start and
// Stop switch the buttons and the no-data line as a session would, the language selector
// puts every text in place again, Open asks in a message box and Setting opens the settings
// dialog.
#pragma once

#include "gallery_texts.h"
#include "platform/ui/dialog.h"

namespace gallery {

class SettingsDialog : public ui::Dialog {
  public:
    explicit SettingsDialog(Language language);
    ~SettingsDialog() override { DestroyWindow(); }

  protected:
    bool OnInitDialog() override;

  private:
    Language language_;
};

class GalleryDialog : public ui::Dialog {
  public:
    explicit GalleryDialog(Language language = Language::English);
    ~GalleryDialog() override { DestroyWindow(); }

    // Window thread (or before the window exists).
    void SetLanguage(Language language);
    Language language() const { return language_; }
    bool running() const { return running_; }

  protected:
    bool OnInitDialog() override;
    void OnTimer(unsigned id) override;

  private:
    void ApplyTexts();
    void Start();
    void Stop();
    void ShowNoData(bool show);

    Language language_;
    bool running_ = false;
    int seconds_ = 0;
};

}  // namespace gallery
