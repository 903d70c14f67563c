// The two dialog templates as the resource compiler left them in
// cellarium.scr: caption, font, frame, every control's id, kind and text in
// tab order, and where the controls lie: inside the dialog, none over
// another, their access keys unique. Read from the executable
// built beside this test program, without showing anything.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cellarium_version.h"
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
};

constexpr DWORD kStatic = SS_TYPEMASK;
constexpr DWORD kButton = BS_TYPEMASK;
constexpr DWORD kTrackbar = TBS_VERT | TBS_AUTOTICKS;
constexpr const char* kTrackbarClass = "msctls_trackbar32";
constexpr int kNoId = -1;

// The controls, one for one in tab order (the template's order).
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
  }
}

bool IsClass(const Item& item, const char* className) {
  return _stricmp(item.className.c_str(), className) == 0;
}

bool IsStatic(const Item& item, DWORD kind) {
  return IsClass(item, "Static") && (item.style & SS_TYPEMASK) == kind;
}

bool Overlap(const Item& a, const Item& b) {
  return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool Contains(const Item& outer, const Item& inner) {
  return outer.x <= inner.x && inner.x + inner.cx <= outer.x + outer.cx && outer.y <= inner.y &&
         inner.y + inner.cy <= outer.y + outer.cy;
}

bool GroupBoxAround(const Item& box, const Item& inner) {
  return IsClass(box, "Button") && (box.style & BS_TYPEMASK) == BS_GROUPBOX &&
         Contains(box, inner);
}

// A slider's scale is one row of labels: the centred one spans the scale, and
// the end labels lie inside it, flush with its ends and each on its own half,
// so their text stays clear of the centred text.
bool ScaleEndIn(const Item& scale, const Item& end) {
  if (!IsStatic(scale, SS_CENTER) || end.y != scale.y || end.cy != scale.cy ||
      !Contains(scale, end))
    return false;
  const int middle = scale.x + scale.cx / 2;
  if (IsStatic(end, SS_LEFT)) return end.x == scale.x && end.x + end.cx <= middle;
  if (IsStatic(end, SS_RIGHT)) return end.x + end.cx == scale.x + scale.cx && end.x >= middle;
  return false;
}

// Where the controls lie, whatever the coordinates: each has a size and lies
// inside the dialog, except those listed by tab position (from 1), and no two
// overlap unless one is a group box around the other or an end of the other's
// scale.
void ExpectLaidOut(const Template& t, const std::vector<std::size_t>& reachingOut = {}) {
  std::vector<std::size_t> outside;
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    const Item& c = t.items[i];
    EXPECT_TRUE(c.cx > 0 && c.cy > 0) << "control " << i + 1 << " " << c.text << " has no size";
    if (c.x < 0 || c.y < 0 || c.x + c.cx > t.cx || c.y + c.cy > t.cy) outside.push_back(i + 1);
  }
  EXPECT_EQ(outside, reachingOut) << "controls reaching out of the dialog, by tab position";
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    for (std::size_t j = i + 1; j < t.items.size(); ++j) {
      const Item& a = t.items[i];
      const Item& b = t.items[j];
      if (Overlap(a, b) && !GroupBoxAround(a, b) && !GroupBoxAround(b, a) && !ScaleEndIn(a, b) &&
          !ScaleEndIn(b, a))
        ADD_FAILURE() << "control " << i + 1 << " \"" << a.text << "\" overlaps control " << j + 1
                      << " \"" << b.text << "\"";
    }
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
  EXPECT_EQ((std::vector<int>{t.x, t.y, t.cx, t.cy}), (std::vector<int>{29, 29, 252, 176}));
}

TEST_F(DialogTemplates, OptionsDialogControlsInTabOrder) {
  const DWORD tab = WS_TABSTOP;
  const std::vector<Want> want = {
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&World Size"},
      {IDC_WORLD_SIZE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "Half"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Full"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Quarter"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&Zoom Factor"},
      {IDC_ZOOM_FACTOR, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "2"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "None"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "4"},
      {IDC_TILE_WORLD, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Tile World"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "&Initialization Size"},
      {IDC_INIT_SIZE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_CENTER, 0, "Half"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Full"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Quarter"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "World &Mutation Rate"},
      {IDC_MUTATION_RATE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Never"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Often"},
      {IDC_STEADY_STATE, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Only at Steady State"},
      {IDC_SHOW_MUTATIONS, "Button", kButton, BS_AUTOCHECKBOX, tab, "&Show Mutations"},
      {IDOK, "Button", kButton, BS_DEFPUSHBUTTON, tab, "OK"},
      {IDCANCEL, "Button", kButton, BS_PUSHBUTTON, tab, "Cancel"},
      {IDC_PIXEL_COLOR, "Button", kButton | BS_CENTER, BS_PUSHBUTTON | BS_CENTER, tab,
       "Pixel &Color"},
      {IDC_ABOUT, "Button", kButton, BS_PUSHBUTTON, tab, "&About"},
      // Added later, after the first 26 in tab order, in the middle column's free space.
      {kNoId, "Static", kStatic, SS_LEFT, 0, "S&peed"},
      {IDC_GENERATION_RATE, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Slow"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Fastest"},
      {IDC_ALL_MONITORS, "Button", kButton, BS_AUTOCHECKBOX, tab, "Spa&n all monitors"},
      // Then, in a band the dialog grew by, the renewal box under the soup
      // size and the trails slider under the monitor box.
      {IDC_RENEW_WHEN_STALLED, "Button", kButton, BS_AUTOCHECKBOX, tab, "N&ew world when stalled"},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "T&rails"},
      {IDC_TRAIL_LENGTH, kTrackbarClass, kTrackbar, TBS_AUTOTICKS, tab, ""},
      {kNoId, "Static", kStatic, SS_LEFT, 0, "Off"},
      {kNoId, "Static", kStatic, SS_RIGHT, 0, "Long"},
  };
  const Template t = Load("IDD_CONFIGURE");
  ExpectItems(t, want);
  ExpectLaidOut(t);
  // Each access key reaches one control: Alt+letter toggles a box only
  // while no other control shares its letter. A label's key moves the focus
  // to the control after it, so that control must take the focus.
  std::string keys;
  for (std::size_t i = 0; i < t.items.size(); ++i) {
    const Item& item = t.items[i];
    const std::size_t amp = item.text.find('&');
    if (amp == std::string::npos) continue;
    const char key = static_cast<char>(std::tolower(static_cast<unsigned char>(item.text[amp + 1])));
    EXPECT_EQ(keys.find(key), std::string::npos) << item.text;
    keys += key;
    if (IsClass(item, "Static")) {
      EXPECT_TRUE(i + 1 < t.items.size() && (t.items[i + 1].style & WS_TABSTOP) != 0)
          << item.text << " labels no control that takes the focus";
    }
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
      {IDC_ABOUT_ICON, "Static", kStatic, SS_ICON, icon, ""},
      {kNoId, "Static", kStatic, SS_LEFT, group, CELLARIUM_ABOUT_TITLE},
      {kNoId, "Static", kStatic, SS_LEFT, group, "by the Cellarium developers"},
      {kNoId, "Static", kStatic, SS_LEFT, group, "2026"},
      {kNoId, "Static", kStatic, SS_LEFT, group, notice},
      {IDOK, "Button", kButton, BS_DEFPUSHBUTTON, group | WS_TABSTOP, "OK"},
  };
  const Template t = Load("IDD_ABOUT");
  ExpectItems(t, want);
  // The title line's box (control 2) reaches past the right edge; its one
  // short line of text ends well inside, so the part outside stays blank.
  ExpectLaidOut(t, {2});
  // The icon is shown at its real size, not scaled: the label keeps room
  // for the program's 32 x 32 icon.
  ASSERT_FALSE(t.items.empty());
  EXPECT_EQ(t.items[0].cx, 21);
  EXPECT_EQ(t.items[0].cy, 20);
}

}  // namespace
