#include "ui/options_dialog.h"

#include "store/settings_store.h"
#include "ui/about_dialog.h"
#include "ui/dialog_ids.h"
#include "ui/options_rules.h"

namespace {
constexpr const char* kColorChooserTitle = "Pixel Color";
}  // namespace

// Every scroll code: a drag, arrow keys, Page Up/Down, Home/End and channel
// clicks all couple the sliders, so what OK stores is what the dialog shows.
// The slider has its new position by the time it notifies.
const TNotifyRow<TLifeDlg> TLifeDlg::notifyTable[] = {
    {WM_HSCROLL, IDC_WORLD_SIZE, kAnyNotifyCode, &TLifeDlg::OnWorldSizeTrack},
    {WM_HSCROLL, IDC_ZOOM_FACTOR, kAnyNotifyCode, &TLifeDlg::OnZoomTrack},
    {WM_HSCROLL, IDC_MUTATION_RATE, kAnyNotifyCode, &TLifeDlg::OnMutationRateTrack},
    {WM_COMMAND, IDC_PIXEL_COLOR, BN_CLICKED, &TLifeDlg::OnPixelColor},
    {WM_COMMAND, IDC_ABOUT, BN_CLICKED, &TLifeDlg::OnAbout},
};

TLifeDlg::TLifeDlg(TWindow* parentWindow)
    : TDialog(parentWindow, "IDD_CONFIGURE"),
      WorldSizeSlider(this, IDC_WORLD_SIZE),
      ZoomSlider(this, IDC_ZOOM_FACTOR),
      InitSizeSlider(this, IDC_INIT_SIZE),
      MutationRateSlider(this, IDC_MUTATION_RATE),
      SpeedSlider(this, IDC_GENERATION_RATE),
      TrailSlider(this, IDC_TRAIL_LENGTH),
      TileCheck(this, IDC_TILE_WORLD),
      SteadyStateCheck(this, IDC_STEADY_STATE),
      ShowMutationsCheck(this, IDC_SHOW_MUTATIONS),
      AllMonitorsCheck(this, IDC_ALL_MONITORS),
      RenewCheck(this, IDC_RENEW_WHEN_STALLED) {
  ColorChoice.Flags = CC_RGBINIT | CC_FULLOPEN;
  ColorChoice.Color = 0;
  ColorChoice.CustColors = CustomColors.data();
}

TLifeDlg::~TLifeDlg() = default;

bool TLifeDlg::HandleNotification(UINT message, int controlId, int code) {
  return DispatchNotification(*this, notifyTable, message, controlId, code);
}

void TLifeDlg::PrepareWindow() {
  TDialog::PrepareWindow();
  LoadSettings(Settings);
  const OptionsControls shown = ControlsFor(Settings);
  const struct {
    THSlider* slider;
    SliderRange range;
    int position;
  } sliders[] = {{&WorldSizeSlider, kWorldSizeSlider, shown.worldSize},
                 {&ZoomSlider, kZoomSlider, shown.zoom},
                 {&InitSizeSlider, kInitSizeSlider, shown.initSize},
                 {&MutationRateSlider, kRateSlider, shown.mutationRate},
                 {&SpeedSlider, kSpeedSlider, shown.speed},
                 {&TrailSlider, kTrailSlider, shown.trails}};
  for (const auto& [slider, range, position] : sliders) {
    slider->SetRange(range.low, range.high);
    slider->SetTicFrequency(1);
    slider->SetPosition(position);
  }
  // The template's boxes start unchecked and enabled.
  if (shown.tileChecked) TileCheck.Check();
  if (!shown.tileEnabled) TileCheck.Enable(false);
  if (shown.showMutationsChecked) ShowMutationsCheck.Check();
  if (shown.steadyStateChecked) SteadyStateCheck.Check();
  if (!shown.steadyStateEnabled) SteadyStateCheck.Enable(false);
  if (!shown.showMutationsEnabled) ShowMutationsCheck.Enable(false);
  if (shown.allMonitorsChecked) AllMonitorsCheck.Check();
  if (shown.renewChecked) RenewCheck.Check();
  ColorChoice.Color = Settings.PixelColor;
}

void TLifeDlg::AcceptControls(int code) {
  OptionsControls chosen;
  chosen.worldSize = WorldSizeSlider.GetPosition();
  chosen.zoom = ZoomSlider.GetPosition();
  chosen.tileChecked = TileCheck.IsChecked();
  chosen.initSize = InitSizeSlider.GetPosition();
  chosen.steadyStateChecked = SteadyStateCheck.IsChecked();
  chosen.mutationRate = MutationRateSlider.GetPosition();
  chosen.showMutationsChecked = ShowMutationsCheck.IsChecked();
  chosen.speed = SpeedSlider.GetPosition();
  chosen.allMonitorsChecked = AllMonitorsCheck.IsChecked();
  chosen.renewChecked = RenewCheck.IsChecked();
  chosen.trails = TrailSlider.GetPosition();
  AcceptControlStates(chosen, Settings);
  SaveSettings(Settings);
  TDialog::AcceptControls(code);
}

void TLifeDlg::OnWorldSizeTrack() {
  OptionsControls sizes;
  sizes.worldSize = WorldSizeSlider.GetPosition();
  sizes.zoom = ZoomSlider.GetPosition();
  const int zoomBefore = sizes.zoom;
  TrackWorldSize(sizes);
  if (sizes.zoom != zoomBefore) ZoomSlider.SetPosition(sizes.zoom);
  TileCheck.Enable(sizes.tileEnabled);
}

void TLifeDlg::OnZoomTrack() {
  OptionsControls sizes;
  sizes.worldSize = WorldSizeSlider.GetPosition();
  sizes.zoom = ZoomSlider.GetPosition();
  const int worldBefore = sizes.worldSize;
  TrackZoom(sizes);
  if (sizes.worldSize != worldBefore) WorldSizeSlider.SetPosition(sizes.worldSize);
  TileCheck.Enable(sizes.tileEnabled);
}

void TLifeDlg::OnMutationRateTrack() {
  OptionsControls rate;
  rate.mutationRate = MutationRateSlider.GetPosition();
  TrackMutationRate(rate);
  SteadyStateCheck.Enable(rate.steadyStateEnabled);
  ShowMutationsCheck.Enable(rate.showMutationsEnabled);
}

void TLifeDlg::OnPixelColor() {
  // ColorChoice keeps the last accepted colour, so the next opening starts
  // on it; the colour is stored only if this dialog ends with OK.
  TChooseColorDialog chooser(this, ColorChoice, kColorChooserTitle);
  if (chooser.Execute() == IDOK) Settings.PixelColor = ColorChoice.Color;
}

void TLifeDlg::OnAbout() {
  TAboutLifeDlg about(this);
  about.Execute();
}
