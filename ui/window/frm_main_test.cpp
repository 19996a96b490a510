#include "ui/window/frm_main.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "build_facts.h"
#include "protection/operation_lock.h"
#include "protection/window_texts.h"
#include "testsupport/screenshot_win32.h"
#include "testsupport/test_machine.h"
#include "ui/window/controls.h"
#include "ui/window/dpi.h"
#include "ui/window/window_helpers.h"

namespace tsl {
namespace {

struct MessageBoxCall {
  HWND owner;
  std::string text;
  std::string title;
  UINT type;
};
std::vector<MessageBoxCall> message_boxes;

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR title, UINT type) {
  message_boxes.push_back({owner, text, title, type});
  return IDOK;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

class FrmMainTest : public ::testing::Test, public testing::TempMachine {
 protected:
  void SetUp() override {
    message_boxes.clear();
    testing::WriteBytes(hosts, "127.0.0.1 localhost\r\n");
    testing::WriteBytes(app.Join("data.dat"), "a.example\r\nb.example\r\n");
  }

  void Open() { ASSERT_TRUE(form_.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL)); }
  HWND Control(ControlId id) const { return GetDlgItem(form_.window(), id); }
  void Click(ControlId id) { SendMessageA(Control(id), BM_CLICK, 0, 0); }
  bool Enabled(ControlId id) const { return IsWindowEnabled(Control(id)) != FALSE; }

  FrmMain form_{machine, RecordMessageBox};
};

TEST_F(FrmMainTest, AFixedDialogFrameWithNoTaskbarButton) {
  Open();
  const HWND window = form_.window();
  EXPECT_EQ(WindowText(window), kAppTitle);
  const LONG style = GetWindowLongA(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  const LONG ex_style = GetWindowLongA(window, GWL_EXSTYLE);
  EXPECT_NE(ex_style & WS_EX_DLGMODALFRAME, 0);
  EXPECT_EQ(ex_style & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW), 0);
  EXPECT_NE(GetWindow(window, GW_OWNER), nullptr) << "an owned window has no taskbar button";
  RECT client;
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 391);
  EXPECT_EQ(client.bottom, 393);
  EXPECT_NE(GetClassLongPtrA(window, GCLP_HICON), 0U) << "the window shows the program's icon";
  testing::SaveScreenshot(window, "tessaline-window.bmp");
}

TEST_F(FrmMainTest, EveryControlStandsInItsPlace) {
  Open();
  const struct {
    ControlId id;
    const char* window_class;
    std::string caption;
    RECT place;
  } expected[] = {
      {kPicture2, "TessalinePictureBox", "", {0, 0, 393, 153}},
      {kPicture1, "TessalinePictureBox", "", {24, 8, 367, 141}},
      {kFrame1, "TessalineFrame", "Step 1: Locate Files TSL Needs to Alter", {8, 168, 385, 225}},
      {kLabel3, "Static", std::string(kReadyToProtect), {16, 184, 377, 217}},
      {kFrame2, "TessalineFrame", "Step 2", {8, 232, 385, 289}},
      {kCommand2, "Button", "Activate", {80, 256, 193, 281}},
      {kCommand3, "Button", "Deactivate", {200, 256, 313, 281}},
      {kCommand4, "Button", "Exit", {288, 296, 377, 321}},
      {kFrame3, "TessalineFrame", "TSL Info Center", {8, 320, 385, 385}},
      {kLabel1, "Static", std::string(kVersionCaption) + TSL_DISPLAY_VERSION, {16, 344, 209, 361}},
      {kLabel2, "Static", std::string(kServersCaption), {16, 360, 201, 377}},
  };
  for (const auto& control : expected) {
    const HWND child = Control(control.id);
    ASSERT_NE(child, nullptr) << control.caption;
    EXPECT_STRCASEEQ(ClassOf(child).c_str(), control.window_class);
    EXPECT_EQ(WindowText(child), control.caption);
    RECT place;
    GetWindowRect(child, &place);
    MapWindowPoints(nullptr, form_.window(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, control.place.left) << control.caption;
    EXPECT_EQ(place.top, control.place.top) << control.caption;
    EXPECT_EQ(place.right, control.place.right) << control.caption;
    EXPECT_EQ(place.bottom, control.place.bottom) << control.caption;
    EXPECT_TRUE(IsWindowVisible(child));
  }
  RECT banner;
  GetClientRect(Control(kPicture1), &banner);
  EXPECT_EQ(banner.right, 341) << "the banner fills the box inside its one-pixel border";
  EXPECT_EQ(banner.bottom, 131);

  LOGFONTA font{};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Control(kCommand3), WM_GETFONT, 0, 0)),
             sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "Tahoma");
  EXPECT_EQ(font.lfHeight, -11);
  EXPECT_EQ(font.lfWeight, FW_NORMAL);
  EXPECT_EQ(font.lfCharSet, ANSI_CHARSET);
  EXPECT_FALSE(font.lfItalic || font.lfUnderline || font.lfStrikeOut);
  EXPECT_EQ(GetWindowLongA(Control(kCommand2), GWL_STYLE) & BS_DEFPUSHBUTTON, 0);
  EXPECT_NE(GetWindowLongA(Control(kLabel3), GWL_STYLE) & SS_CENTER, 0);
}

TEST_F(FrmMainTest, OverlappingControlsLieInFront) {
  Open();
  const auto in_front = [this](ControlId front, ControlId back) {
    for (HWND w = GetWindow(Control(front), GW_HWNDNEXT); w != nullptr;
         w = GetWindow(w, GW_HWNDNEXT)) {
      if (w == Control(back)) return true;
    }
    return false;
  };
  EXPECT_TRUE(in_front(kPicture1, kPicture2));
  EXPECT_TRUE(in_front(kCommand4, kFrame3));
  EXPECT_TRUE(in_front(kLabel2, kLabel1));
}

TEST_F(FrmMainTest, TheFocusStartsOnTheBannerAndTabSkipsADisabledActivate) {
  testing::WriteBytes(hosts,
                      "127.0.0.1 localhost\r\n\r\n#email snoop protection \r\n"
                      "127.0.0.1     a.example\r\n\r\n");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  Open();
  EXPECT_EQ(GetFocus(), Control(kPicture1));
  const auto tab_order = [this] {
    std::vector<HWND> order;
    HWND at = Control(kPicture1);
    for (int i = 0; i < 6; ++i) {
      order.push_back(at);
      at = GetNextDlgTabItem(form_.window(), at, FALSE);
    }
    return order;
  };
  EXPECT_EQ(tab_order(),
            (std::vector<HWND>{Control(kPicture1), Control(kPicture2), Control(kCommand3),
                               Control(kCommand4), Control(kPicture1), Control(kPicture2)}));
  form_.SetCommand2Enabled(true);
  EXPECT_EQ(tab_order(),
            (std::vector<HWND>{Control(kPicture1), Control(kPicture2), Control(kCommand2),
                               Control(kCommand3), Control(kCommand4), Control(kPicture1)}));
}

TEST_F(FrmMainTest, TheStartUpStateShowsInTheWindow) {
  std::remove(hosts.c_str());
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kBlockedValue, "1");
  RegistrySaveString(registry, kHkeyLocalMachine, kSettingsKey, kServersValue, "385");
  Open();
  EXPECT_EQ(WindowText(Control(kLabel3)), kLabel3Created)
      << "with no hosts file there is no block section, so protection is not on";
  EXPECT_EQ(WindowText(Control(kLabel2)), std::string(kServersCaption) + "385");
  EXPECT_FALSE(Enabled(kCommand2));
  EXPECT_TRUE(Enabled(kCommand3));
  EXPECT_TRUE(Enabled(kCommand4));
  Click(kCommand2);
  EXPECT_FALSE(testing::PathExists(app.Join("host.bak"))) << "a disabled button does nothing";
}

TEST_F(FrmMainTest, TheButtonsTurnProtectionOnAndOff) {
  Open();
  SetFocus(Control(kCommand2));
  Click(kCommand2);
  EXPECT_EQ(WindowText(Control(kLabel3)), kActivated);
  EXPECT_FALSE(Enabled(kCommand2));
  EXPECT_NE(GetFocus(), Control(kCommand2));
  EXPECT_NE(testing::ReadBytes(hosts).find("127.0.0.1     b.example\r\n"), std::string::npos);

  Click(kCommand3);
  EXPECT_EQ(WindowText(Control(kLabel3)), kDeactivated);
  EXPECT_TRUE(Enabled(kCommand2));
  EXPECT_EQ(testing::ReadBytes(hosts), "127.0.0.1 localhost\r\n");
  EXPECT_TRUE(message_boxes.empty());
}

TEST_F(FrmMainTest, DeactivatingWithoutABackupShowsTheInformationBox) {
  Open();
  Click(kCommand3);
  ASSERT_EQ(message_boxes.size(), 1U);
  EXPECT_EQ(message_boxes[0].owner, form_.window());
  EXPECT_EQ(message_boxes[0].text, kNoBackup);
  EXPECT_EQ(message_boxes[0].title, kAppTitle);
  EXPECT_EQ(message_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  EXPECT_TRUE(IsWindow(form_.window()));
}

TEST_F(FrmMainTest, AFailingStepIsReportedAndEndsTheProgram) {
  std::remove(app.Join("data.dat").c_str());
  Open();
  Click(kCommand2);
  ASSERT_EQ(message_boxes.size(), 1U);
  EXPECT_NE(message_boxes[0].text.find(app.Join("data.dat")), std::string::npos)
      << message_boxes[0].text;
  EXPECT_EQ(message_boxes[0].title, kAppTitle);
  EXPECT_EQ(message_boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  EXPECT_FALSE(IsWindow(form_.window()));
  EXPECT_EQ(RunMessageLoop(form_), 1);
  EXPECT_EQ(testing::ReadBytes(app.Join("host.bak")), "127.0.0.1 localhost\r\n")
      << "the backup made before the failure stays";
}

// Another holds the operation lock; while the click waits for it, a close or a quit comes
// in. The report still shows, in the system's own message box, until it is answered, and
// the program ends with status 1.
TEST_F(FrmMainTest, TheFailureReportOutlastsACloseOrQuitThatCameInMeanwhile) {
  using namespace std::chrono_literals;
  for (const UINT queued : {static_cast<UINT>(WM_CLOSE), static_cast<UINT>(WM_QUIT)}) {
    Machine waiting = testing::TestMachine(files, registry, app.path());
    waiting.lock_wait = 1000ms;
    FrmMain form(waiting, MessageBoxA);
    ASSERT_TRUE(form.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
    const OperationLock held(waiting.lock_path, 0ms);

    const DWORD ui_thread = GetCurrentThreadId();
    const HWND window = form.window();
    std::thread sender([&] {
      std::this_thread::sleep_for(300ms);
      if (queued == WM_CLOSE) {
        PostMessageA(window, WM_CLOSE, 0, 0);
      } else {
        PostThreadMessageA(ui_thread, WM_QUIT, 0, 0);
      }
    });
    bool shown = false;
    bool stayed = false;
    std::thread reader([&] {
      HWND box = nullptr;
      for (int i = 0; i < 1000 && box == nullptr; ++i) {
        std::this_thread::sleep_for(10ms);
        box = FindWindowA("#32770", kAppTitle.data());
      }
      if (box == nullptr) return;
      shown = true;
      std::this_thread::sleep_for(500ms);  // long enough for the queue to be read
      stayed = IsWindow(box) && IsWindowVisible(box);
      if (IsWindow(box)) PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(GetDlgItem(window, kCommand2), BM_CLICK, 0, 0);
    sender.join();
    reader.join();
    EXPECT_TRUE(shown) << queued;
    EXPECT_TRUE(stayed) << "the report vanished unread; queued " << queued;
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(RunMessageLoop(form), 1) << queued;
  }
  EXPECT_EQ(testing::ReadBytes(hosts), "127.0.0.1 localhost\r\n");
}

TEST_F(FrmMainTest, ExitAndTheCloseButtonEndTheProgram) {
  Open();
  Click(kCommand4);
  EXPECT_FALSE(IsWindow(form_.window()));
  EXPECT_EQ(RunMessageLoop(form_), 0);

  FrmMain second(machine, RecordMessageBox);
  ASSERT_TRUE(second.Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL));
  SendMessageA(second.window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(second.window()));
  EXPECT_EQ(RunMessageLoop(second), 0);
  EXPECT_EQ(testing::ReadBytes(hosts), "127.0.0.1 localhost\r\n");
  EXPECT_TRUE(message_boxes.empty());
}

TEST_F(FrmMainTest, EnterAndEscapeOnAPictureDoNothing) {
  Open();
  SetFocus(Control(kPicture1));
  for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    MSG message{Control(kPicture1), WM_KEYDOWN, key, 0, 0, {}};
    IsDialogMessageA(form_.window(), &message);
  }
  EXPECT_TRUE(IsWindow(form_.window()));
  EXPECT_TRUE(message_boxes.empty());
  EXPECT_EQ(WindowText(Control(kLabel3)), kReadyToProtect);
  EXPECT_FALSE(testing::PathExists(app.Join("host.bak")));
}

// The window with the display at each DPI the build names (TSL_TEST_DPIS): every rectangle
// from twips x dpi / 1440, fonts at their point sizes, the banner filling its box, and the
// status text as readable as at 96 dpi. The display's DPI is set before the program starts
// (scripts/wine-at-dpi, which names it in TSL_TEST_DPI), so each DPI's tests run only in a
// program started at that DPI.
class FrmMainDpiTest : public FrmMainTest, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    const char* display = std::getenv("TSL_TEST_DPI");
    if (display == nullptr || std::strtol(display, nullptr, 10) != GetParam()) {
      GTEST_SKIP() << "runs with the display at " << GetParam() << " dpi";
    }
    FrmMainTest::SetUp();
  }
  void ExpectLaidOutAt(int dpi) {
    RECT client;
    GetClientRect(form_.window(), &client);
    EXPECT_NEAR(client.right, ClientSize(dpi).cx, 1);
    EXPECT_NEAR(client.bottom, ClientSize(dpi).cy, 1);
    for (const ControlSpec& spec : kControls) {
      RECT place;
      GetWindowRect(Control(spec.id), &place);
      MapWindowPoints(nullptr, form_.window(), reinterpret_cast<POINT*>(&place), 2);
      const RECT expected = ControlRect(spec, dpi);
      EXPECT_NEAR(place.left, expected.left, 1) << spec.caption;
      EXPECT_NEAR(place.top, expected.top, 1) << spec.caption;
      EXPECT_NEAR(place.right, expected.right, 1) << spec.caption;
      EXPECT_NEAR(place.bottom, expected.bottom, 1) << spec.caption;
    }
    EXPECT_EQ(FontOf(kCommand2).lfHeight, -MulDiv(82, dpi, 720)) << "Tahoma 8.25 pt";
    EXPECT_EQ(FontOf(kLabel3).lfHeight, -MulDiv(80, dpi, 720)) << "the dialog font at 8 pt";
    RECT banner;
    GetClientRect(Control(kPicture1), &banner);
    const RECT box = ControlRect(SpecOf(kPicture1), dpi);
    EXPECT_EQ(banner.right, box.right - box.left - 2) << "inside its one-pixel border";
    EXPECT_EQ(banner.bottom, box.bottom - box.top - 2);
  }
  LOGFONTA FontOf(ControlId id) const {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(Control(id), WM_GETFONT, 0, 0)), sizeof font,
               &font);
    return font;
  }
  // The height the text needs in the label's font, wrapped at the label's width.
  int NeededHeight(ControlId id, int dpi) const {
    LOGFONTA face = FontOf(id);
    face.lfHeight = -MulDiv(80, dpi, 720);
    const HFONT font = CreateFontIndirectA(&face);
    const HDC dc = GetDC(form_.window());
    const HGDIOBJ previous = SelectObject(dc, font);
    const RECT place = ControlRect(SpecOf(id), dpi);
    RECT text{0, 0, place.right - place.left, 0};
    const std::string caption = WindowText(Control(id));
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(form_.window(), dc);
    DeleteObject(font);
    return text.bottom;
  }
};

TEST_P(FrmMainDpiTest, EveryPlaceAndFontFollowsTheDpi) {
  Open();
  const int dpi = form_.dpi();
  EXPECT_EQ(dpi, GetParam()) << "the display's DPI reached the window";
  ExpectLaidOutAt(dpi);
  testing::SaveScreenshot(form_.window(), "tessaline-window-" + std::to_string(dpi) + "dpi.bmp");
  EXPECT_EQ(GetFocus(), Control(kPicture1));
  EXPECT_EQ(GetNextDlgTabItem(form_.window(), Control(kPicture2), FALSE), Control(kCommand2));
  Click(kCommand2);
  EXPECT_EQ(WindowText(Control(kLabel3)), kActivated);
  EXPECT_EQ(GetNextDlgTabItem(form_.window(), Control(kPicture2), FALSE), Control(kCommand3));

  // The longest status text: what fits at 96 dpi fits at this DPI too.
  form_.SetCaption(Label::Label3, std::string(kLabel3Created) + std::string(kAlreadyFunctioning));
  const auto height = [](int at) {
    const RECT place = ControlRect(SpecOf(kLabel3), at);
    return place.bottom - place.top;
  };
  if (NeededHeight(kLabel3, kBaseDpi) <= height(kBaseDpi)) {
    EXPECT_LE(NeededHeight(kLabel3, dpi), height(dpi));
  }
}

// Moving to a monitor of another DPI: the window takes the rectangle Windows suggests and
// lays itself out again, fonts included. Wine has one DPI for all monitors, so the message
// is sent as Windows would send it.
TEST_P(FrmMainDpiTest, AMoveToAnotherMonitorLaysTheWindowOutAgain) {
  Open();
  for (const int dpi : {144, 192, 120, 96}) {
    SCOPED_TRACE(std::to_string(dpi) + " dpi");
    // Windows suggests the frame for the new DPI; Wine draws the title bar at one size
    // whatever the DPI, so the suggestion here keeps the frame's present margins.
    RECT window;
    RECT client;
    GetWindowRect(form_.window(), &window);
    GetClientRect(form_.window(), &client);
    const SIZE size = ClientSize(dpi);
    RECT suggested{window.left + 10, window.top,
                   window.left + 10 + window.right - window.left - client.right + size.cx,
                   window.top + window.bottom - window.top - client.bottom + size.cy};
    SendMessageA(form_.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(form_.dpi(), dpi);
    GetWindowRect(form_.window(), &window);
    EXPECT_TRUE(EqualRect(&window, &suggested)) << "the window takes the suggested rectangle";
    ExpectLaidOutAt(dpi);
  }
  Click(kCommand2);
  EXPECT_EQ(WindowText(Control(kLabel3)), kActivated);
}

INSTANTIATE_TEST_SUITE_P(Display, FrmMainDpiTest, ::testing::Values(TSL_TEST_DPIS),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace tsl
