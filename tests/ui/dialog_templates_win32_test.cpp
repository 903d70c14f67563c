// The two dialog templates as the resource compiler left them in
// cellarium.scr: caption, font, frame, and every control's id, kind, text,
// place and size in dialog units, in tab order. Read from the executable
// built beside this test program, without showing anything.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/saver_module.h"
#include "ui/dialog_ids.h"

namespace {

// A DIALOG (not DIALOGEX) template: the header, then menu, class and
// caption as "string or ordinal" fields, the font when DS_SETFONT is set,
// then each control on a 4-byte boundary: its fixed part, class, text and
// a counted block of creation data.
struct Item {
  DWORD style = 0;
  int id = 0;
  std::string className;  // predefined classes by their names ("Button")
  std::string text;
  int x = 0, y = 0, cx = 0, cy = 0;
};

struct Template {
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::string caption;
  int pointSize = 0;
  std::string font;
  std::vector<Item> items;
};

class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t count) : data(bytes), size(count) {}

  bool ok() const { return good; }
  std::uint16_t Word() {
    std::uint16_t v = 0;
    Take(&v, 2);
    return v;
  }
  std::uint32_t Dword() {
    std::uint32_t v = 0;
    Take(&v, 4);
    return v;
  }
  int Short() { return static_cast<std::int16_t>(Word()); }
  void Align4() { at = (at + 3) & ~std::size_t{3}; }
  // A zero-terminated UTF-16 string of ASCII text.
  std::string Text() {
    std::string out;
    for (std::uint16_t c = Word(); good && c != 0; c = Word()) out += static_cast<char>(c);
    return out;
  }
  // 0xFFFF and an ordinal, or a string; ordinals come back as "#n".
  std::string TextOrOrdinal() {
    const std::uint16_t first = Word();
    if (first == 0xFFFF) return std::string("#").append(std::to_string(Word()));
    if (first == 0) return "";
    std::string out(1, static_cast<char>(first));
    out += Text();
    return out;
  }
  void Skip(std::size_t n) { at += n; }

 private:
  void Take(void* out, std::size_t n) {
    if (at + n > size) {
      good = false;
      return;
    }
    std::memcpy(out, data + at, n);
    at += n;
  }
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool good = true;
};

std::string PredefinedClass(const std::string& name) {
  if (name == "#128") return "Button";
  if (name == "#130") return "Static";
  return name;
}

bool ParseTemplate(const std::uint8_t* data, std::size_t size, Template& t) {
  Reader r(data, size);
  t.style = r.Dword();
  r.Dword();  // extended style
  const int count = r.Word();
  t.x = r.Short();
  t.y = r.Short();
  t.cx = r.Short();
  t.cy = r.Short();
  r.TextOrOrdinal();  // menu
  r.TextOrOrdinal();  // class
  t.caption = r.Text();
  if ((t.style & DS_SETFONT) != 0) {
    t.pointSize = r.Word();
    t.font = r.Text();
  }
  for (int i = 0; i < count && r.ok(); ++i) {
    r.Align4();
    Item item;
    item.style = r.Dword();
    r.Dword();  // extended style
    item.x = r.Short();
    item.y = r.Short();
    item.cx = r.Short();
    item.cy = r.Short();
    item.id = r.Short();
    item.className = PredefinedClass(r.TextOrOrdinal());
    item.text = r.TextOrOrdinal();
    r.Skip(r.Word());  // creation data
    t.items.push_back(item);
  }
  return r.ok();
}

class DialogTemplates : public support::SaverModuleTest {
 protected:

  Template Load(const char* name) {
    Template t;
    HRSRC found = FindResourceA(module, name, RT_DIALOG);
    EXPECT_NE(found, nullptr) << name;
    if (found == nullptr) return t;
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    EXPECT_TRUE(data != nullptr && ParseTemplate(data, SizeofResource(module, found), t)) << name;
    return t;
  }

};

// What a control must be: its kind is the class with the style bits that
// pick the kind; flags are further bits that must be set.
struct Want {
  int id;
  const char* className;
  DWORD kindMask, kind, flags;
  const char* text;
  int x, y, cx, cy;
};

constexpr DWORD kStatic = SS_TYPEMASK;
constexpr DWORD kButton = BS_TYPEMASK;
constexpr DWORD kTrackbar = TBS_VERT | TBS_AUTOTICKS;
constexpr const char* kTrackbarClass = "msctls_trackbar32";
constexpr int kNoId = -1;

void ExpectItems(const Template& t, const std::vector<Want>& want) {
  ASSERT_EQ(t.items.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    const Item& got = t.items[i];
    const Want& w = want[i];
    SCOPED_TRACE(testing::Message() << "control " << i + 1 << " " << w.text);
    EXPECT_EQ(got.id, w.id);
    EXPECT_EQ(_stricmp(got.className.c_str(), w.className), 0) << got.className;
    EXPECT_EQ(got.style & w.kindMask, w.kind);
    EXPECT_EQ(got.style & w.flags, w.flags);
    EXPECT_EQ(got.style & (WS_CHILD | WS_VISIBLE), DWORD{WS_CHILD | WS_VISIBLE});
    EXPECT_EQ(got.text, w.text);
    EXPECT_EQ(got.x, w.x);
    EXPECT_EQ(got.y, w.y);
    EXPECT_EQ(got.cx, w.cx);
    EXPECT_EQ(got.cy, w.cy);
  }
}

TEST_F(DialogTemplates, OptionsDialogFrameCaptionAndFont) {
  const Template t = Load("IDD_CONFIGURE");
  EXPECT_EQ(t.caption, "Options for Cellarium");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  const DWORD frame = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK;
  EXPECT_EQ(t.style & frame, frame);
  EXPECT_EQ(t.style & DS_CENTER, 0u);
  EXPECT_EQ((std::vector<int>{t.x, t.y, t.cx, t.cy}), (std::vector<int>{29, 29, 252, 143}));
}

TEST_F(DialogTemplates, OptionsDialogControlsInTabOrder) {
  const DWORD tab = WS_TABSTOP;
  const std::vector<Want> want = {
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&World Size", 4, 4, 60, 8},
      {IDC_WORLD_SIZE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, "", 4, 13, 80, 15},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "Half", 8, 30, 72, 8},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Full", 8, 30, 16, 8},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Quarter", 52, 30, 28, 8},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&Zoom Factor", 4, 44, 60, 8},
      {IDC_ZOOM_FACTOR, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, "", 4, 52, 80, 15},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "2", 8, 70, 72, 8},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "None", 8, 70, 24, 8},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "4", 68, 70, 12, 8},
      {IDC_TILE_WORLD, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Tile World", 4, 82, 48, 12},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&Initialization Size", 4, 102, 60, 8},
      {IDC_INIT_SIZE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, "", 4, 112, 80, 15},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "Half", 8, 129, 72, 8},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Full", 8, 129, 16, 8},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Quarter", 52, 129, 28, 8},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "World &Mutation Rate", 104, 4, 72, 8},
      {IDC_MUTATION_RATE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, "", 104, 13, 80, 15},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Never", 108, 30, 28, 8},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Often", 152, 30, 28, 8},
      {IDC_STEADY_STATE, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Only at Steady State", 104,
       43, 88, 12},
      {IDC_SHOW_MUTATIONS, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Show Mutations", 104, 60,
       76, 12},
      {IDOK, "Button", kButton, BS_DEFPUSHBUTTON, tab, "OK", 200, 4, 48, 14},
      {IDCANCEL, "Button", kButton, BS_PUSHBUTTON, tab, "Cancel", 200, 22, 48, 14},
      {IDC_PIXEL_COLOR, "Button", kButton | BS_CENTER, BS_PUSHBUTTON | BS_CENTER, tab,
       "Pixel &Color", 200, 106, 48, 14},
      {IDC_ABOUT, "Button", kButton, BS_PUSHBUTTON, tab, "&About", 200, 125, 48, 14},
      // Added later, after the first 26 in tab order, in the middle column's free space.
      {kNoId, "Static", kStatic, SS_LEFT, 0, "S&peed", 104, 80, 72, 8},
      {IDC_GENERATION_RATE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, "", 104, 89, 80, 15},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Slow", 108, 106, 28, 8},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Fastest", 148, 106, 32, 8},
      {IDC_ALL_MONITORS, "Button", kButton, BS_AUTOCHECKBOX, tab, "Spa&n all monitors", 104, 120,
       88, 12},
  };
  const Template t = Load("IDD_CONFIGURE");
  ExpectItems(t, want);
  // Each access key reaches one control: Alt+letter toggles a box only
  // while no other control shares its letter.
  std::string keys;
  for (const Item& item : t.items) {
    const std::size_t amp = item.text.find('&');
    if (amp == std::string::npos) continue;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(item.text[amp + 1])));
    EXPECT_EQ(keys.find(key), std::string::npos) << item.text;
    keys += key;
  }
}

TEST_F(DialogTemplates, AboutBoxIsCentredWithoutCloseBox) {
  const Template t = Load("IDD_ABOUT");
  EXPECT_EQ(t.caption, "About Cellarium");
  EXPECT_EQ(t.font, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  const DWORD frame = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_CENTER | DS_3DLOOK;
  EXPECT_EQ(t.style & frame, frame);
  EXPECT_EQ(t.style & WS_SYSMENU, 0u);
  EXPECT_EQ(t.cx, 144);
  EXPECT_EQ(t.cy, 102);
}

TEST_F(DialogTemplates, AboutBoxControlsInTabOrder) {
  const DWORD group = WS_GROUP;
  const DWORD icon = SS_CENTERIMAGE | SS_REALSIZEIMAGE | SS_SUNKEN | WS_GROUP;
  const char* notice =
      "This program may be used and passed on freely. Please pass it on complete and without "
      "charge.";
  const std::vector<Want> want = {
      {IDC_ABOUT_ICON, "Static", kStatic, SS_ICON, icon, "", 4, 4, 21, 20},
      {kNoId, "Static", kStatic, SS_LEFT, group, "Cellarium 1.0", 32, 4, 128, 8},
      {kNoId, "Static", kStatic, SS_LEFT, group, "by the Cellarium developers", 32, 17, 112, 8},
      {kNoId, "Static", kStatic, SS_LEFT, group, "2026", 32, 30, 60, 8},
      {kNoId, "Static", kStatic, SS_LEFT, group, notice, 4, 47, 136, 35},
      {IDOK, "Button", kButton, BS_DEFPUSHBUTTON, group | WS_TABSTOP, "OK", 47, 84, 50, 14},
  };
  ExpectItems(Load("IDD_ABOUT"), want);
}

}  // namespace
