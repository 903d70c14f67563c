#pragma once
#include <array>

#include "engine/life_settings.h"
#include "framework/choose_color.h"
#include "framework/controls.h"
#include "framework/dialog.h"

// The options dialog: every setting of the saver on sliders and check boxes,
// the live-cell colour through the colour chooser, and the About box. It
// works on its own settings record: loaded from the registry when the window
// is set up, stored on OK, dropped on Cancel, Escape or the close box.
// Loading and storing go through the installed registry back end
// (store/store_win32.h); with none, the dialog shows the defaults and OK
// stores nothing.
class TLifeDlg : public TDialog {
 public:
  explicit TLifeDlg(TWindow* parent);
  ~TLifeDlg() override;

  // Hooks
  void AcceptControls(int code) override;
  void PrepareWindow() override;

 protected:
  bool HandleNotification(UINT message, int controlId, int code) override;

 private:
  void OnWorldSizeTrack();
  void OnZoomTrack();
  void OnMutationRateTrack();
  void OnPixelColor();
  void OnAbout();
  static const TNotifyRow<TLifeDlg> notifyTable[];

  THSlider WorldSizeSlider;
  THSlider ZoomSlider;
  THSlider InitSizeSlider;
  THSlider MutationRateSlider;
  THSlider SpeedSlider;
  THSlider TrailSlider;
  TCheckBox TileCheck;
  TCheckBox SteadyStateCheck;
  TCheckBox ShowMutationsCheck;
  TCheckBox AllMonitorsCheck;
  TCheckBox RenewCheck;
  LifeSettings Settings;
  TChooseColorDialog::TData ColorChoice;
  // The chooser's custom colours: black at first, kept from one opening to
  // the next while the dialog lives, never stored.
  std::array<COLORREF, 16> CustomColors{};
};
