// The dialog templates as they are compiled into the DLL, read back out of its resources: each
// template's size, title and font, and every control's identifier, class, position, size, text
// and the styles its role needs.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ZelCnvSdk.h"
#include "dialog_support.h"
#include "settings/dialog_ids.h"

namespace zelcnv::dialogtest {
namespace {

struct Control {
  uint32_t style = 0;
  int16_t x = 0, y = 0, cx = 0, cy = 0;
  int32_t id = 0;
  std::string className;  // predefined classes by name: "Button", "Edit", "Static", "ComboBox"
  std::string text;
};

struct Template {
  uint32_t style = 0;
  int16_t cx = 0, cy = 0;
  std::string title;
  uint16_t pointSize = 0;
  std::string font;
  std::vector<Control> controls;
};

class Reader {
 public:
  explicit Reader(const uint8_t* at) : at_(at) {}
  template <class T>
  T Get() {
    T value;
    std::memcpy(&value, at_, sizeof value);
    at_ += sizeof value;
    return value;
  }
  std::string String() {
    std::wstring text;
    for (wchar_t c; (c = Get<wchar_t>()) != L'\0';) text.push_back(c);
    return Utf8(text.c_str());
  }
  // A name or an ordinal (0xFFFF and the number).
  std::string NameOrOrdinal() {
    uint16_t first;
    std::memcpy(&first, at_, sizeof first);
    if (first == 0xFFFF) {
      at_ += 2;
      return "#" + std::to_string(Get<uint16_t>());
    }
    return String();
  }
  void AlignDword(const uint8_t* base) {
    while ((at_ - base) % 4 != 0) ++at_;
  }
  void Skip(size_t bytes) { at_ += bytes; }

 private:
  const uint8_t* at_;
};

std::string PredefinedClass(const std::string& name) {
  if (name == "#128") return "Button";
  if (name == "#129") return "Edit";
  if (name == "#130") return "Static";
  if (name == "#133") return "ComboBox";
  // Class names compare without case; the resource compiler stores them in capitals.
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool LoadTemplate(int id, Template* out) {
  HMODULE dll = GetModuleHandleA("ZelCnvSdk.dll");
  HRSRC found = dll != nullptr
                    ? FindResourceW(dll, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG))
                    : nullptr;
  if (found == nullptr) return false;
  const auto* base = static_cast<const uint8_t*>(LockResource(LoadResource(dll, found)));
  Reader r(base);
  if (r.Get<uint16_t>() != 1 || r.Get<uint16_t>() != 0xFFFF) return false;  // DLGTEMPLATEEX
  r.Skip(8);                                                                // help id, ex style
  out->style = r.Get<uint32_t>();
  const uint16_t count = r.Get<uint16_t>();
  r.Skip(4);  // x, y
  out->cx = r.Get<int16_t>();
  out->cy = r.Get<int16_t>();
  r.NameOrOrdinal();  // menu
  r.NameOrOrdinal();  // class
  out->title = r.String();
  if (out->style & DS_SETFONT) {
    out->pointSize = r.Get<uint16_t>();
    r.Skip(4);  // weight, italic, charset
    out->font = r.String();
  }
  for (uint16_t i = 0; i < count; ++i) {
    r.AlignDword(base);
    Control c;
    r.Skip(8);  // help id, ex style
    c.style = r.Get<uint32_t>();
    c.x = r.Get<int16_t>();
    c.y = r.Get<int16_t>();
    c.cx = r.Get<int16_t>();
    c.cy = r.Get<int16_t>();
    c.id = r.Get<int32_t>();
    c.className = PredefinedClass(r.NameOrOrdinal());
    c.text = r.NameOrOrdinal();
    r.Skip(r.Get<uint16_t>());
    out->controls.push_back(c);
  }
  return true;
}

const Control* ById(const Template& t, int id) {
  for (const Control& c : t.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

const Control* ByText(const Template& t, const std::string& text) {
  for (const Control& c : t.controls) {
    if (c.text == text) return &c;
  }
  return nullptr;
}

struct Expected {
  int id;
  const char* className;
  int x, y, cx, cy;
  const char* text;  // null: not checked
};

void ExpectControl(const Template& t, const Expected& e, int templateId) {
  const Control* c = e.id != -1 ? ById(t, e.id) : ByText(t, e.text);
  ASSERT_NE(c, nullptr) << "template " << templateId << " control " << e.id << " "
                        << (e.text ? e.text : "");
  EXPECT_EQ(c->className, e.className) << templateId << "/" << e.id;
  EXPECT_EQ(c->x, e.x) << templateId << "/" << e.id;
  EXPECT_EQ(c->y, e.y) << templateId << "/" << e.id;
  EXPECT_EQ(c->cx, e.cx) << templateId << "/" << e.id;
  EXPECT_EQ(c->cy, e.cy) << templateId << "/" << e.id;
  if (e.text != nullptr) {
    EXPECT_EQ(c->text, e.text) << templateId << "/" << e.id;
  }
}

// Labels stand beside their controls as static texts.
void ExpectLabels(const Template& t, const std::vector<const char*>& labels, int templateId) {
  for (const char* label : labels) {
    const Control* c = ByText(t, label);
    ASSERT_NE(c, nullptr) << "template " << templateId << " has no label " << label;
    EXPECT_EQ(c->className, "Static") << label;
  }
}

void ExpectDialogFrame(const Template& t, int cx, int cy, const char* title) {
  EXPECT_EQ(t.cx, cx);
  EXPECT_EQ(t.cy, cy);
  EXPECT_EQ(t.title, title);
  EXPECT_EQ(t.font, "MS Shell Dlg");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_TRUE(t.style & WS_POPUP);
  EXPECT_TRUE(t.style & WS_CAPTION);
}

TEST(DialogTemplates, VideoFormatTemplatesHoldEveryControlOfBothLanguages) {
  for (const bool ja : {true, false}) {
    const int id = ja ? IDD_VIDEO_FORMAT_JA : IDD_VIDEO_FORMAT_EN;
    Template t;
    ASSERT_TRUE(LoadTemplate(id, &t)) << id;
    ExpectDialogFrame(t, 313, ja ? 170 : 229, ja ? "プロパティ" : "Property");
    const int buttonY = ja ? 150 : 209;
    const std::vector<Expected> controls = {
        {IDC_TAB, "systabcontrol32", 7, 7, 299, ja ? 132 : 194, ""},
        {-1, "Button", 17, 24, 123, 104, ja ? "ビデオ形式" : "Video Format"},
        {IDC_COLOUR_MODE, "ComboBox", 49, 46, 83, 100, nullptr},
        {IDC_SAMPLING_CODE, "ComboBox", 49, 77, 83, 100, nullptr},
        {-1, "Button", 145, 24, 149, 104, ja ? "カスタムサイズ" : "Camera Size"},
        {IDC_H_TOTAL, "Edit", 159, 46, 50, 12, ""},
        {IDC_V_TOTAL, "Edit", 235, 46, 50, 12, ""},
        {IDC_H_EFFECTIVE, "Edit", 159, 77, 50, 12, ""},
        {IDC_V_EFFECTIVE, "Edit", 235, 77, 50, 12, ""},
        {IDC_H_START, "Edit", 159, 107, 50, 12, ""},
        {IDC_V_START, "Edit", 233, 107, 50, 12, ""},
        {IDC_WAIT_TIME, "Edit", 49, ja ? 107 : 154, 83, 12, ""},
        {IDC_OK, "Button", 116, buttonY, 60, 13, "OK"},
        {IDC_CANCEL, "Button", 181, buttonY, 60, 13, ja ? "キャンセル" : "Cancel"},
        {IDC_APPLY, "Button", 246, buttonY, 60, 13, ja ? "適用(&A)" : "Apply(&A)"},
    };
    for (const Expected& e : controls) ExpectControl(t, e, id);
    if (ja) {
      ExpectLabels(
          t,
          {"色空間 / 圧縮(&C):", "出力サイズ(&S):", "総水平画素", "総垂直画素", "有効水平画素",
           "有効垂直画素", "有効水平起点", "有効垂直起点", "フレーム間待ち時間(&T):"},
          id);
    } else {
      ExpectLabels(
          t,
          {"Color / Compression(&C):", "Size(&S):", "H Total", "V Total", "H Effective",
           "V Effective", "H Start", "V Start", "Wait Time(&T):", "Sub Sample(&B):", "Clock(&C):",
           "* In the WORD forwarding mode, please set the clock to the half."},
          id);
      ExpectControl(t, {-1, "Button", 17, 131, 277, 48, "Frame Rate"}, id);
      for (int list : {IDC_SUB_SAMPLE, IDC_CLOCK}) {
        ASSERT_NE(ById(t, list), nullptr) << list;
        EXPECT_EQ(ById(t, list)->className, "ComboBox");
      }
    }
    EXPECT_EQ(ById(t, IDC_OK)->style & 0xF, static_cast<uint32_t>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(ById(t, IDC_COLOUR_MODE)->style & 0x3, static_cast<uint32_t>(CBS_DROPDOWNLIST));
    EXPECT_EQ(ById(t, IDC_SAMPLING_CODE)->style & 0x3, static_cast<uint32_t>(CBS_DROPDOWNLIST));
    // The Japanese geometry is shown only; the English edits take typing nobody reads.
    for (int edit = IDC_H_TOTAL; edit <= IDC_V_START; ++edit) {
      EXPECT_EQ((ById(t, edit)->style & ES_READONLY) != 0, ja) << id << "/" << edit;
    }
    EXPECT_EQ(ById(t, IDC_WAIT_TIME)->style & (ES_READONLY | ES_NUMBER), 0u)
        << "any text can be typed as the wait time";
  }
}

TEST(DialogTemplates, ImageSheetsHoldTheTabAndTheThreeButtons) {
  for (const bool ja : {true, false}) {
    const int id = ja ? IDD_IMAGE_SHEET_JA : IDD_IMAGE_SHEET_EN;
    Template t;
    ASSERT_TRUE(LoadTemplate(id, &t)) << id;
    ExpectDialogFrame(t, ja ? 217 : 294, ja ? 122 : 194, ja ? "プロパティ" : "Property");
    const int y = ja ? 105 : 177;
    const std::vector<Expected> controls = {
        {IDC_TAB, "systabcontrol32", 4, 4, ja ? 209 : 286, ja ? 92 : 168, ""},
        {IDC_OK, "Button", ja ? 89 : 165, y, 60, 13, "OK"},
        {IDC_CANCEL, "Button", ja ? 153 : 230, y, 60, 13, ja ? "キャンセル" : "Cancel"},
        {IDC_DEFAULT, "Button", ja ? 23 : 100, y, 60, 13, ja ? "規定値(&D)" : "Default(&D)"},
    };
    for (const Expected& e : controls) ExpectControl(t, e, id);
    EXPECT_EQ(t.controls.size(), controls.size());
    EXPECT_EQ(ById(t, IDC_OK)->style & 0xF, static_cast<uint32_t>(BS_DEFPUSHBUTTON));
  }
}

TEST(DialogTemplates, ImagePagesHoldARowPerParameterAndTheEnglishExtras) {
  struct Row {
    const char* label;
    int bar, edit, spin, y;
  };
  const std::vector<Row> rows = {
      {"&Brightness", 2001, 2002, 2004, 4},
      {"&Contrast", 2011, 2012, 2014, 20},
      {"&Hue", 2021, 2022, 2024, 35},
      {"&Saturation", 2031, 2032, 2034, 50},
  };
  const std::vector<Row> extras = {
      {"Shar&pness", 2041, 2042, 2044, -1}, {"&R Gain", 2051, 2052, 2054, -1},
      {"&G Gain", 2061, 2062, 2063, -1},    {"&B Gain", 2071, 2072, 2073, -1},
      {"&Gamma", 2081, 2082, 2084, -1},
  };
  for (const bool ja : {true, false}) {
    const int id = ja ? IDD_IMAGE_PAGE_JA : IDD_IMAGE_PAGE_EN;
    Template t;
    ASSERT_TRUE(LoadTemplate(id, &t)) << id;
    EXPECT_EQ(t.cx, ja ? 171 : 251);
    EXPECT_EQ(t.cy, ja ? 65 : 142);
    EXPECT_EQ(t.title, "");
    EXPECT_EQ(t.font, "MS Shell Dlg");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_TRUE(t.style & WS_CHILD) << "a child dialog inside the sheet's tab";
    EXPECT_FALSE(t.style & WS_CAPTION);
    std::vector<Row> all = rows;
    if (!ja) all.insert(all.end(), extras.begin(), extras.end());
    for (const Row& row : all) {
      ExpectLabels(t, {row.label}, id);
      const Control* bar = ById(t, row.bar);
      const Control* edit = ById(t, row.edit);
      const Control* spin = ById(t, row.spin);
      ASSERT_TRUE(bar && edit && spin) << row.label;
      EXPECT_EQ(bar->className, "msctls_trackbar32");
      EXPECT_EQ(bar->cx, 90);
      EXPECT_EQ(bar->cy, 10);
      EXPECT_EQ(edit->className, "Edit");
      EXPECT_EQ(edit->cx, 30);
      EXPECT_EQ(edit->cy, 12);
      EXPECT_TRUE(edit->style & ES_NUMBER) << "digits only";
      EXPECT_EQ(spin->className, "msctls_updown32");
      EXPECT_TRUE(spin->style & UDS_SETBUDDYINT) << "writes its value into the edit";
      if (row.y >= 0) {
        EXPECT_EQ(edit->y, row.y) << row.label;
      }
    }
    if (ja) {
      EXPECT_EQ(t.controls.size(), rows.size() * 4);
    } else {
      ExpectLabels(t, {"Auto white balance", "Bayer Mode"}, id);
      ASSERT_NE(ById(t, IDC_WHITE_BALANCE_ONCE), nullptr);
      EXPECT_EQ(ById(t, IDC_WHITE_BALANCE_ONCE)->text, "Once");
      ASSERT_NE(ById(t, IDC_WHITE_BALANCE_ALL), nullptr);
      EXPECT_EQ(ById(t, IDC_WHITE_BALANCE_ALL)->text, "All frames");
      EXPECT_EQ(ById(t, IDC_WHITE_BALANCE_ALL)->style & 0xF,
                static_cast<uint32_t>(BS_AUTOCHECKBOX));
      for (int radio : {IDC_BAYER_1, IDC_BAYER_2, IDC_BAYER_3, IDC_BAYER_4}) {
        ASSERT_NE(ById(t, radio), nullptr) << radio;
        EXPECT_EQ(ById(t, radio)->style & 0xF, static_cast<uint32_t>(BS_AUTORADIOBUTTON));
      }
    }
    // Every control lies inside the page.
    for (const Control& c : t.controls) {
      EXPECT_LE(c.x + c.cx, t.cx) << id << "/" << c.id << " " << c.text;
      EXPECT_LE(c.y + c.cy, t.cy) << id << "/" << c.id << " " << c.text;
    }
  }
}

}  // namespace
}  // namespace zelcnv::dialogtest
