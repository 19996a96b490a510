#include "ui/window/frm_main.h"

#include "protection/window_texts.h"
#include "resources/resource_ids.h"
#include "ui/failure_report.h"
#include "ui/form_load.h"
#include "ui/window/controls.h"
#include "ui/window/dpi.h"
#include "ui/window/frame_box.h"
#include "ui/window/picture_box.h"
#include "ui/window/window_helpers.h"

namespace tsl {
namespace {

constexpr const char* kWindowClass = "TessalineMain";
constexpr COLORREF kNavy = RGB(0, 0, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
// A fixed dialog frame with a close button and nothing else.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kWindowExStyle = WS_EX_DLGMODALFRAME;

ControlId LabelControl(Label label) {
  switch (label) {
    case Label::Label1:
      return kLabel1;
    case Label::Label2:
      return kLabel2;
    case Label::Label3:
      break;
  }
  return kLabel3;
}

HFONT MakeFont(const char* face, int tenths_of_points, int dpi) {
  LOGFONTA font{};
  // Negative: the character height, in pixels at the window's DPI.
  font.lfHeight = -MulDiv(tenths_of_points, dpi, 720);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = ANSI_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectA(&font);
}

struct ControlClass {
  const char* name;
  DWORD style;
  DWORD ex_style;
};

ControlClass ClassOf(const ControlSpec& spec) {
  switch (spec.kind) {
    case ControlKind::kPicture:
      return {kPictureBoxClass, WS_TABSTOP | WS_BORDER | WS_CLIPSIBLINGS, 0};
    case ControlKind::kFrame:
      return {kFrameBoxClass, WS_CLIPSIBLINGS, 0};
    case ControlKind::kLabel:
      // Labels show their text as it stands: no "&" prefixes, wrapped at words, cut at
      // their edges.
      return {"STATIC", static_cast<DWORD>((spec.centred ? SS_CENTER : SS_LEFT) | SS_NOPREFIX),
              WS_EX_TRANSPARENT};
    case ControlKind::kButton:
      break;
  }
  return {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_CLIPSIBLINGS, 0};
}

}  // namespace

FrmMain::FrmMain(const Machine& machine, MessageBoxFunction message_box)
    : machine_(machine), message_box_(message_box) {}

// The classes go with the brush they paint with, so that a later window registers them
// again with its own.
FrmMain::~FrmMain() {
  if (IsWindow(window_)) DestroyWindow(window_);
  if (instance_ != nullptr) {
    UnregisterClassA(kWindowClass, instance_);
    UnregisterClassA(kFrameBoxClass, instance_);
  }
}

bool FrmMain::Create(HINSTANCE instance, int show) {
  instance_ = instance;
  navy_brush_.reset(CreateSolidBrush(kNavy));
  banner_.reset(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));

  RegisterWindowClass(instance, kWindowClass, WindowProc, static_cast<HBRUSH>(navy_brush_.get()),
                      LoadIconA(instance, MAKEINTRESOURCEA(IDI_TESSALINE)));
  RegisterPictureBoxClass(instance);
  RegisterFrameBoxClass(instance, static_cast<HBRUSH>(navy_brush_.get()));

  // A window with an owner gets no taskbar button.
  owner_.reset(
      CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr));
  // Sized for the system's DPI; WM_CREATE sizes it again should its monitor differ.
  dpi_ = SystemDpi();
  const RECT frame = FrameForClient(ClientRect(), kWindowStyle, kWindowExStyle, dpi_);
  window_ = CreateWindowExA(kWindowExStyle, kWindowClass, kAppTitle.data(), kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                            frame.bottom - frame.top, owner_.get(), nullptr, instance, this);
  if (window_ == nullptr) return false;
  ShowWindow(window_, show);
  SetFocus(GetDlgItem(window_, kPicture1));
  UpdateWindow(window_);
  return true;
}

LRESULT CALLBACK FrmMain::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<FrmMain*>(reinterpret_cast<CREATESTRUCTA*>(lparam)->lpCreateParams);
    form->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<FrmMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (form == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  return form->OnMessage(message, wparam, lparam);
}

LRESULT FrmMain::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      OnDpiChanged(WindowDpi(window_), nullptr);
      RunHandler([this] { Form_Load(); });
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<LRESULT>(
          OnControlColor(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
    case WM_CLOSE:
      if (reporting_failure_) return 0;  // the window closes once the report is read
      return DefWindowProcA(window_, message, wparam, lparam);
    case WM_DESTROY:
      SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
      PostQuitMessage(exit_code_);
      return 0;
    default:
      return DefWindowProcA(window_, message, wparam, lparam);
  }
}

void FrmMain::CreateControls() {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window_, GWLP_HINSTANCE));
  for (const ControlSpec& spec : kControls) {
    const ControlClass control_class = ClassOf(spec);
    const HWND control = CreateWindowExA(
        control_class.ex_style, control_class.name, spec.caption,
        WS_CHILD | WS_VISIBLE | control_class.style | (spec.enabled ? 0 : WS_DISABLED), 0, 0, 0, 0,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
    if (spec.kind == ControlKind::kPicture && spec.id == kPicture1) {
      SetPictureBitmap(control, static_cast<HBITMAP>(banner_.get()));
    }
  }
}

RECT FrmMain::ClientRect() const {
  const SIZE size = ClientSize(dpi_);
  return RECT{0, 0, size.cx, size.cy};
}

// Everything the window shows is laid out from twips at its DPI: a move to a monitor of
// another DPI gives the same window in inches, with fonts made for the new DPI.
void FrmMain::OnDpiChanged(int dpi, const RECT* suggested) {
  dpi_ = dpi;
  if (suggested != nullptr) {
    SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    const RECT frame = FrameForClient(ClientRect(), kWindowStyle, kWindowExStyle, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  // The new fonts are in place before the old ones go.
  UniqueGdiObject dialog_font(MakeFont("MS Shell Dlg", 80, dpi_));
  UniqueGdiObject button_font(MakeFont("Tahoma", 82, dpi_));  // 8.25 pt: 11 pixels at 96 dpi
  for (const ControlSpec& spec : kControls) {
    const HWND control = GetDlgItem(window_, spec.id);
    const RECT place = ControlRect(spec, dpi_);
    SetWindowPos(control, nullptr, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    const bool button = spec.kind == ControlKind::kButton;
    SendMessageA(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>(button ? button_font.get() : dialog_font.get()), TRUE);
  }
  dialog_font_ = std::move(dialog_font);
  button_font_ = std::move(button_font);
  InvalidateRect(window_, nullptr, TRUE);
}

HBRUSH FrmMain::OnControlColor(HDC dc, HWND control) {
  SetTextColor(dc, kWhite);
  SetBkColor(dc, kNavy);
  if (GetDlgCtrlID(control) == kLabel1 || GetDlgCtrlID(control) == kLabel2 ||
      GetDlgCtrlID(control) == kLabel3) {
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }
  return static_cast<HBRUSH>(navy_brush_.get());
}

void FrmMain::OnCommand(int id, UINT code) {
  if (code != BN_CLICKED) return;
  switch (id) {
    case kCommand2:
      RunHandler([this] { Command2_Click(); });
      break;
    case kCommand3:
      RunHandler([this] { Command3_Click(); });
      break;
    case kCommand4:
      Command4_Click();
      break;
    default:  // Enter and Escape (IDOK, IDCANCEL) do nothing
      break;
  }
}

template <typename Handler>
void FrmMain::RunHandler(Handler handler) {
  std::string failure;
  try {
    handler();
    return;
  } catch (...) {
    failure = CurrentFailure();
  }
  // C++ exceptions never unwind through the window system: the failure is reported here
  // and the program ends with status 1, keeping what was done before it. A close or quit
  // that came in while the operation ran would end the message box's own loop before
  // anyone saw it; the program ends after the report anyway, so they are let go.
  exit_code_ = 1;
  reporting_failure_ = true;
  MSG quit;
  while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
  message_box_(window_, failure.c_str(), kAppTitle.data(), MB_OK | MB_ICONERROR);
  DestroyWindow(window_);
}

void FrmMain::Form_Load() { tsl::Form_Load(machine_, HostsFile, *this); }
void FrmMain::Command2_Click() { ActivateProtection(machine_, HostsFile, *this); }
void FrmMain::Command3_Click() { DeactivateProtection(machine_, HostsFile, *this); }
void FrmMain::Command4_Click() { DestroyWindow(window_); }

void FrmMain::SetCaption(Label label, const std::string& text) {
  const HWND control = GetDlgItem(window_, LabelControl(label));
  SetWindowTextA(control, text.c_str());
  // The label has no background of its own: what lay under the old text is drawn again.
  RECT place;
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
  InvalidateRect(window_, &place, TRUE);
}

std::string FrmMain::Caption(Label label) const {
  return WindowText(GetDlgItem(window_, LabelControl(label)));
}

void FrmMain::SetCommand2Enabled(bool enabled) {
  const HWND command2 = GetDlgItem(window_, kCommand2);
  // A disabled button cannot keep the focus; it passes to the next control in tab order.
  if (!enabled && GetFocus() == command2) {
    SetFocus(GetNextDlgTabItem(window_, command2, FALSE));
  }
  EnableWindow(command2, enabled ? TRUE : FALSE);
}

void FrmMain::ShowInformation(const std::string& text) {
  message_box_(window_, text.c_str(), kAppTitle.data(), MB_OK | MB_ICONINFORMATION);
}

int RunMessageLoop(const FrmMain& form) {
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (IsWindow(form.window()) && IsDialogMessageA(form.window(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace tsl
