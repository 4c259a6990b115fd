#include "ui/Unit1.h"

#include <commctrl.h>

#include "core/Messages.h"
#include "desktop/Wallpaper.h"
#include "platform/WideText.h"
#include "ui/Shell.h"
#include "ui/Unit2.h"
#include "ui/WindowText.h"

namespace sw {

TForm1* Form1 = nullptr;

namespace {

const wchar_t* const kFormatItems[] = {L"bmp", L"jpg", nullptr};

// The window's controls, in the designer's stacking order (bottom first).
const ControlDesign kLayout[] = {
    // name, id, kind, left, top, width, height, caption or content, tab order, added style, edge, items, selected item
    {L"Bevel2", 0, ControlKind::Bevel, 0, 0, 289, 185, nullptr, -1, 0, Edge::EtchedFrame, nullptr, 0},
    {L"Label1", TForm1::kLabel1, ControlKind::Label, 8, 8, 91, 13, L"Выбери картинку:", -1, 0, Edge::None, nullptr, 0},
    {L"Edit1", TForm1::kEdit1, ControlKind::Edit, 8, 24, 273, 21, L"", 0, 0, Edge::None, nullptr, 0},
    {L"Button1", TForm1::kButton1, ControlKind::Button, 224, 26, 55, 18, L"Обзор", 1, 0, Edge::None, nullptr, 0},
    {L"Label4", TForm1::kLabel4, ControlKind::Label, 8, 48, 130, 13, L"Старая ширина картинки:", -1, 0, Edge::None, nullptr, 0},
    {L"Label7", TForm1::kLabel7, ControlKind::Label, 144, 48, 9, 13, L"   ", -1, 0, Edge::None, nullptr, 0},
    {L"Label3", TForm1::kLabel3, ControlKind::Label, 8, 64, 129, 13, L"Старая высота картинки:", -1, 0, Edge::None, nullptr, 0},
    {L"Label2", TForm1::kLabel2, ControlKind::Label, 144, 64, 12, 13, L"    ", -1, 0, Edge::None, nullptr, 0},
    {L"Bevel1", 0, ControlKind::Bevel, 8, 80, 273, 9, nullptr, -1, 0, Edge::RaisedTopLine, nullptr, 0},
    {L"Label6", TForm1::kLabel6, ControlKind::Label, 8, 96, 126, 13, L"Новая ширина картинки:", -1, 0, Edge::None, nullptr, 0},
    {L"Edit3", TForm1::kEdit3, ControlKind::Edit, 136, 88, 73, 21, L"", 2, 0, Edge::None, nullptr, 0},
    {L"Label5", TForm1::kLabel5, ControlKind::Label, 8, 128, 125, 13, L"Новая высота картинки:", -1, 0, Edge::None, nullptr, 0},
    {L"Edit4", TForm1::kEdit4, ControlKind::Edit, 136, 120, 73, 21, L"", 3, 0, Edge::None, nullptr, 0},
    {L"RadioGroup1", TForm1::kRadioGroup1, ControlKind::RadioGroup, 216, 85, 65, 55, L"Формат", 4, 0, Edge::None, kFormatItems, 1},
    {L"CheckBox1", TForm1::kCheckBox1, ControlKind::CheckBox, 8, 148, 193, 17, L"Сделать фоном рабочего стола", 5, 0, Edge::None, nullptr, 0},
    {L"Button3", TForm1::kButton3, ControlKind::Button, 208, 152, 73, 25, L"Выполнить", 6, BS_DEFPUSHBUTTON | WS_DISABLED, Edge::None, nullptr, 0},
    {L"ProgressBar1", TForm1::kProgressBar1, ControlKind::ProgressBar, 8, 168, 193, 9, nullptr, 7, 0, Edge::None, nullptr, 0},
};

// MainMenu1 and its shortcut, from the resource script.
constexpr wchar_t kMenuResource[] = L"MAINMENU";
constexpr wchar_t kAcceleratorResource[] = L"MAINACCELERATORS";

constexpr wchar_t kOpenFilter[] = L"Изображения|*.bmp;*.jpg;*.jpeg|BMP-шники|*.bmp|JPG-шники|*.jpg;*.jpeg";
constexpr wchar_t kSaveFilter[] = L"Картинки|*.bmp;*.jpg;*.jpeg";

HMENU LoadMainMenu() {
  HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), kMenuResource);
  if (!menu) throw msg::Resource(SystemErrorText(GetLastError()));
  return menu;
}

HACCEL LoadShortcuts() {
  // A table loaded from resources is the system's to free at the end.
  HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), kAcceleratorResource);
  if (!table) throw msg::Resource(SystemErrorText(GetLastError()));
  return table;
}

}  // namespace

TForm1::TForm1(Application& app)
    : BaseWindow(app),
      OpenDialog1(app, FileDialog::Kind::Open, kOpenFilter),
      SaveDialog1(app, FileDialog::Kind::Save, kSaveFilter) {}

TForm1::~TForm1() {
  Destroy();
  if (Form1 == this) Form1 = nullptr;
}

WindowDesign TForm1::Design() {
  WindowDesign design;
  design.className = L"TForm1";
  design.caption = App().Title().empty() ? L"Stretchwell" : App().Title().c_str();
  // Single border, system menu and minimise box; it carries the program's
  // taskbar entry itself.
  design.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  design.exStyle = WS_EX_APPWINDOW;
  design.left = 386;
  design.top = 230;
  design.clientWidth = 289;
  design.clientHeight = 185;
  return design;
}

HMENU TForm1::MenuBar() { return LoadMainMenu(); }

void TForm1::Construct() {
  BuildLayout(kLayout, sizeof(kLayout) / sizeof(kLayout[0]));
  accelerators_ = LoadShortcuts();
  Timer1 = std::make_unique<Timer>(App());
  Timer1->SetInterval(1);
  Timer1->SetOnTimer([this] { Timer1Timer(); });
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      FormCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    default:
      return BaseWindow::HandleMessage(message, wParam, lParam);
  }
}

bool TForm1::TranslateKeys(MSG& message) {
  if (accelerators_ && TranslateAcceleratorW(Handle(), accelerators_, &message)) return true;
  return BaseWindow::TranslateKeys(message);
}

void TForm1::OnCommand(int id) {
  switch (id) {
    case kButton1: Button1Click(); break;
    case kButton3: Button3Click(); break;
    case kN2: N2Click(); break;
    case kN8: N8Click(); break;
    case kN3: N3Click(); break;
    case kN7: N7Click(); break;
    default: break;
  }
}

void TForm1::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(Handle(), &paint);
  PaintEdges(dc);
  EndPaint(Handle(), &paint);
}

std::wstring TForm1::Text(int id) const { return WindowText(Control(id)); }

void TForm1::SetText(int id, const std::wstring& text) { SetWindowTextW(Control(id), text.c_str()); }

void TForm1::FormCreate() {
  state_.WorkBitmap = std::make_unique<Picture>();
  state_.WorkJpeg = std::make_unique<WorkJpeg>(App().EightBitOutput());
}

void TForm1::FormClose() {
  state_.WorkJpeg.reset();
  state_.WorkBitmap.reset();
}

void TForm1::Button1Click() {
  // Once the window has closed nothing may touch the released picture objects.
  if (!state_.WorkBitmap || !state_.WorkJpeg) return;
  const bool chosen = OpenDialog1.Execute();
  // The window may have been closed (from the taskbar) while the dialog was up.
  if (!state_.WorkBitmap || !state_.WorkJpeg || App().IsQuitting()) return;
  if (chosen) state_.SourceFileName = WideToUtf8(OpenDialog1.FileName);
  if (state_.SourceFileName.empty()) return;
  SetText(kEdit1, Utf8ToWide(state_.SourceFileName));
  ReadSourcePicture(state_, state_.SourceFileName);
  SetLabelText(kLabel2, std::to_wstring(state_.OldHeight));
  SetLabelText(kLabel7, std::to_wstring(state_.OldWidth));
}

void TForm1::N2Click() { Button1Click(); }

void TForm1::Timer1Timer() {
  const bool ready = GetWindowTextLengthW(Control(kEdit1)) > 3 && GetWindowTextLengthW(Control(kEdit3)) != 0 &&
                     GetWindowTextLengthW(Control(kEdit4)) != 0;
  // A disabled button can't keep the focus: it goes to the next tab stop,
  // Edit1 (the progress bar takes none), or the keyboard would reach nothing.
  if (!ready && GetFocus() == Control(kButton3)) SetFocus(Control(kEdit1));
  EnableWindow(Control(kButton3), ready ? TRUE : FALSE);
  EnableMenuItem(GetMenu(Handle()), kN8, MF_BYCOMMAND | (ready ? MF_ENABLED : MF_GRAYED));
}

void TForm1::Button3Click() {
  // A run pumps messages; none of them may start another inside it.
  if (!state_.WorkBitmap || !state_.WorkJpeg || running_) return;
  running_ = true;
  // Step 1: the window takes no input until the run ends, so what it asks
  // for is taken now.
  HoldInputs(true);
  try {
    const RunOutcome outcome = RunResize(state_, Request(), *this, RunTarget::ChosenBy(*this));
    // Step 9, saved or cancelled; a close during the run left nothing to reset.
    if (outcome != RunOutcome::kStopped) {
      ClearInputs();
      HoldInputs(false);
    }
  } catch (...) {
    running_ = false;
    // The fields keep their contents for correction, but the window must not stay disabled.
    if (!App().IsQuitting()) HoldInputs(false);
    throw;
  }
  running_ = false;
}

void TForm1::N8Click() { Button3Click(); }

void TForm1::N3Click() { App().CloseWindow(*this); }

void TForm1::N7Click() {
  if (!Form2 || !Form2->Handle()) return;
  RECT main, about;
  GetWindowRect(Handle(), &main);
  GetWindowRect(Form2->Handle(), &about);
  const int left = main.left + (main.right - main.left) / 2 - (about.right - about.left) / 2;
  const int top = main.top + (main.bottom - main.top) / 2 - (about.bottom - about.top) / 2;
  SetWindowPos(Form2->Handle(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  App().ShowWindow(*Form2);
  App().SetEnabled(*this, false);
}

void TForm1::HoldInputs(bool held) {
  // A disabled window's controls would still take keys while one of them
  // has the focus (a Space on the check box, the format's arrows).
  if (held && IsChild(Handle(), GetFocus())) SetFocus(nullptr);
  App().SetEnabled(*this, !held);
}

RunRequest TForm1::Request() const {
  RunRequest request;
  request.widthText = WideToUtf8(Text(kEdit3));
  request.heightText = WideToUtf8(Text(kEdit4));
  request.format = FormatIndex();
  request.wallpaper = SendMessageW(Control(kCheckBox1), BM_GETCHECK, 0, 0) == BST_CHECKED;
  return request;
}

int TForm1::FormatIndex() const {
  for (int item = 0; kFormatItems[item]; ++item)
    if (SendMessageW(Control(RadioItemId(kRadioGroup1, item)), BM_GETCHECK, 0, 0) == BST_CHECKED) return item;
  return -1;
}

std::optional<std::string> TForm1::ChooseTarget(const std::string& title, const std::string& fileName) {
  SaveDialog1.Title = Utf8ToWide(title);
  SaveDialog1.FileName = Utf8ToWide(fileName);
  if (!SaveDialog1.Execute()) return std::nullopt;
  return WideToUtf8(SaveDialog1.FileName);
}

void TForm1::SetDesktopWallpaper(const std::string& path) { sw::SetDesktopWallpaper(path); }

void TForm1::RefreshDesktopWallpaper() { sw::RefreshDesktopWallpaper(); }

void TForm1::ClearInputs() {
  SetText(kEdit1, L"");
  SetText(kEdit3, L"");
  SetText(kEdit4, L"");
  SendMessageW(Control(kCheckBox1), BM_SETCHECK, BST_UNCHECKED, 0);
  SetLabelText(kLabel2, L"");
  SetLabelText(kLabel7, L"");
}

void TForm1::SetProgress(int percent) {
  shownProgress_ = percent;
  SendMessageW(Control(kProgressBar1), PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void TForm1::RowDone(int percent) {
  // Most rows leave the percentage as it was, and the bar with it.
  if (percent != shownProgress_) SetProgress(percent);
  // The messages waiting are handled after the row, but the queue is asked
  // at most once in a period of the poll timer (10 ms, as the system runs
  // it): rows come every few microseconds, and under Wine every look at the
  // queue is a round trip to its server that costs more than the row. A
  // message never waits longer than the timer's own period for it.
  const auto now = std::chrono::steady_clock::now();
  if (now - lastMessagePass_ < kMessagePassInterval) return;
  App().ProcessPendingMessages();
  lastMessagePass_ = std::chrono::steady_clock::now();
}

bool TForm1::ShouldStop() { return App().IsQuitting(); }

void TForm1::RowsDone() {
  SetProgress(0);
  lastMessagePass_ = {};
}

}  // namespace sw
