// frmMain: the program's one window. Its load event and three buttons run the operations;
// it gives them its captions, the activate button and the message box as WindowParts.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/handle.h"
#include "protection/protection.h"
#include "protection/window_parts.h"

namespace tsl {

class FrmMain final : public WindowParts {
 public:
  // How the window shows a message box: MessageBoxA, or a test's stand-in.
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

  explicit FrmMain(const Machine& machine, MessageBoxFunction message_box = MessageBoxA);
  ~FrmMain() override;
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // Creates the window and its controls, runs the load event, then shows the window with
  // the focus on the banner. Returns false when the window system refuses.
  bool Create(HINSTANCE instance, int show);

  [[nodiscard]] HWND window() const { return window_; }
  // The dots per inch the window is laid out for.
  [[nodiscard]] int dpi() const { return dpi_; }
  // 0 once the window has been closed, or 1 after a failure report.
  [[nodiscard]] int exit_code() const { return exit_code_; }

  void SetCaption(Label label, const std::string& text) override;
  [[nodiscard]] std::string Caption(Label label) const override;
  void SetCommand2Enabled(bool enabled) override;
  void ShowInformation(const std::string& text) override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls();
  [[nodiscard]] RECT ClientRect() const;
  // Lays the window out at `dpi`, in the suggested window rectangle when there is one.
  void OnDpiChanged(int dpi, const RECT* suggested);
  HBRUSH OnControlColor(HDC dc, HWND control);
  void OnCommand(int id, UINT code);

  void Form_Load();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  // Runs one handler to its end; a failure is reported and ends the program.
  template <typename Handler>
  void RunHandler(Handler handler);

  const Machine& machine_;
  MessageBoxFunction message_box_;
  std::string HostsFile;
  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  UniqueWindow owner_;
  UniqueGdiObject navy_brush_;
  UniqueGdiObject dialog_font_;
  UniqueGdiObject button_font_;
  UniqueGdiObject banner_;
  int exit_code_ = 0;
  bool reporting_failure_ = false;
  int dpi_ = 96;
};

// Dispatches messages, with the dialog keys (Tab, Enter, Escape), until the window is
// gone; returns the program's exit status.
int RunMessageLoop(const FrmMain& form);

}  // namespace tsl
