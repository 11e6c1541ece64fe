// The register and dump pages and the dump viewer, driven through their
// controls against PloverDrv.dll: readings from start to end, a failing
// block answered No and Yes, the settings refused while a dump reads, and the
// program closed in the middle of a long dump.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "ScopedCom.h"
#include "fmuDiff.h"
#include "fmuDump.h"
#include "fmuMain.h"
#include "fmuReg.h"
#include "test_TstShots.h"
#include "test_TstSupport.h"
#include "untDumpView.h"
#include "untFile.h"
#include "untText.h"

namespace fs = std::filesystem;

namespace {

using TSteady = std::chrono::steady_clock;

// Where the test run keeps its pictures of the windows (build tree/screenshots).
std::wstring ShotPath(const wchar_t* name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring dir(path);
  dir = dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"..\\screenshots\\";
  CreateDirectoryW(dir.c_str(), nullptr);
  return dir + name;
}

class TstReaders : public ::testing::Test {
 protected:
  TComInit Com;
  TErrorRecorder Errors;
  std::vector<std::wstring> Boxes;
  std::vector<int> Answers;  // message box answers, then IDNO
  std::unique_ptr<TfmMain> Main;

  void SetUp() override {
    ASSERT_EQ(RegisterDriverBesideUs(), S_OK);
    Application().Initialize();
    Application().Title = L"Тест драйвера ККМ";
    Application().SetMessageBoxHook([this](const std::wstring& text, UINT) {
      Boxes.push_back(text);
      if (Answers.empty()) return IDNO;
      const int answer = Answers.front();
      Answers.erase(Answers.begin());
      return answer;
    });
    Start();
  }
  void TearDown() override {
    Main.reset();
    Application().SetMessageBoxHook(nullptr);
    SetFileDialogHook(nullptr);
  }
  void Start() {
    Main = std::make_unique<TfmMain>();
    Main->Show();
    // Known device settings, whatever the user saved.
    TDriver& d = Main->Driver();
    d.SetProperty(L"BusKind", TVariant::FromInt(0));
    d.SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    d.SetProperty(L"FaultMethod", TVariant::FromStr(L""));
    d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
    d.SetProperty(L"LinkLatency", TVariant::FromInt(0));
    d.SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    Pump();
  }
  template <class P>
  P* Page() {
    for (int i = 0; i < Main->Pages().Count(); ++i)
      if (auto* p = dynamic_cast<P*>(Main->Pages().Items(i))) {
        Main->SelectPage(i);
        return p;
      }
    return nullptr;
  }
  static void Press(TButton* b) {
    b->Perform(BM_CLICK);
    Pump();
  }
  // The dump page back at rest after a reading.
  static bool DumpDone(TfmDump* page) {
    return page->Reader() && !page->Reader()->Active() && page->btnStart->Text() == L"Начать" &&
           page->btnStart->Enabled();
  }
};

}  // namespace

TEST_F(TstReaders, TheRegisterPageListsAKindAndEndsAtItsLastRegister) {
  auto* page = Page<TfmReg>();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->btnRead->Text(), L"Прочитать");
  page->cbRegType->SetItemIndex(1);
  Press(page->btnRead);
  ASSERT_TRUE(PumpUntil([&] { return page->btnRead->Text() == L"Начать" && page->btnRead->Enabled(); }));
  const auto lines = page->Memo->Lines();
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0].substr(0, 4), L"00: ");
  EXPECT_FALSE(page->lblInfo->Visible());
  EXPECT_TRUE(Errors.Texts.empty());
  Pump();
  shots::SaveWindow(Main->Handle(), ShotPath(L"PloverTst-registers"));

  // A device that refuses every cash register read: the driver's text after
  // the reading, no lines.
  Main->Driver().SetProperty(L"FaultMethod", TVariant::FromStr(L"GetCashRegister"));
  Main->Driver().SetProperty(L"FaultCode", TVariant::FromInt(2));
  Main->Driver().SetProperty(L"FaultEvery", TVariant::FromInt(1));
  page->cbRegType->SetItemIndex(0);
  Press(page->btnRead);
  ASSERT_TRUE(PumpUntil([&] { return !Errors.Texts.empty(); }));
  EXPECT_TRUE(page->Memo->Lines().empty());
  EXPECT_TRUE(page->btnRead->Enabled());
}

// "Прервать" ends a slow walk after the register under way: the lines read
// so far stay, in order, and the button reads "Начать" again.
TEST_F(TstReaders, TheRegisterWalkStopsWhenAsked) {
  auto* page = Page<TfmReg>();
  page->cbRegType->SetItemIndex(2);  // 120 rest registers
  Main->Driver().SetProperty(L"LinkLatency", TVariant::FromInt(50));
  Press(page->btnRead);
  ASSERT_TRUE(PumpUntil([&] { return page->btnRead->Text() == L"Прервать" && page->btnRead->Enabled(); }));
  Press(page->btnRead);
  EXPECT_FALSE(page->btnRead->Enabled() && page->btnRead->Text() == L"Прервать");
  ASSERT_TRUE(PumpUntil([&] { return page->btnRead->Text() == L"Начать" && page->btnRead->Enabled(); }));
  Main->Driver().SetProperty(L"LinkLatency", TVariant::FromInt(0));
  const auto lines = page->Memo->Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_LT(lines.size(), 120u);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(0, 4), Format(L"%.2d: ", static_cast<int>(i)));
  EXPECT_FALSE(page->lblInfo->Visible());
  EXPECT_TRUE(Errors.Texts.empty());
}

// "Открыть файл" puts the file's bytes in the viewer's place of the reading's;
// the window keeps the device's name. A file that cannot be read changes
// nothing and says why.
TEST_F(TstReaders, TheViewerOpensAFileInPlaceOfTheData) {
  auto* page = Page<TfmDump>();
  page->cbDevice->SetItemIndex(1);  // "Часы"
  Press(page->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return DumpDone(page); }));
  Press(page->btnView);
  TfmView& view = page->View();
  const fs::path file = fs::temp_directory_path() / (L"tst-open-" + std::to_wstring(GetCurrentProcessId()) + L".dmp");
  const std::string bytes = std::string("\x01\xFF") + "0123456789ABCDE";  // 17 bytes: two rows
  WriteWholeFile(file.wstring(), bytes);
  std::wstring answer = file.wstring();
  SetFileDialogHook([&](bool save, TFileDialogArgs& args) {
    EXPECT_FALSE(save);
    args.FileName = answer;
    return true;
  });
  auto click = [](TToolButton* b) { Application().Guard([b] { b->Click(); }); };
  click(view.tbOpen);
  EXPECT_EQ(view.Data, bytes);
  EXPECT_EQ(view.Caption(), L"Часы");
  EXPECT_EQ(view.Grid->RowCount(), 3);
  EXPECT_EQ(view.Grid->Cells(1, 1), L"01");
  EXPECT_EQ(view.Grid->Cells(2, 1), L"FF");
  EXPECT_EQ(view.Grid->Cells(0, 2), L"000010");
  EXPECT_EQ(view.Grid->Cells(1, 2), L"45");
  EXPECT_EQ(view.Grid->Cells(2, 2), L"");

  answer = (fs::temp_directory_path() / L"tst-no-such-file.dmp").wstring();
  click(view.tbOpen);
  ASSERT_EQ(Errors.Texts.size(), 1u);
  EXPECT_NE(Errors.Texts[0].find(L"tst-no-such-file.dmp"), std::wstring::npos) << WideToUtf8(Errors.Texts[0]);
  EXPECT_EQ(view.Data, bytes);
  EXPECT_EQ(view.Grid->RowCount(), 3);
  view.Close();
  fs::remove(file);
}

std::wstring ClipboardText() {
  std::wstring text;
  if (!OpenClipboard(nullptr)) return L"(clipboard busy)";
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) text = p;
    GlobalUnlock(h);
  }
  CloseClipboard();
  return text;
}

// "Показать отличия от файла" lists every range that differs, the rest of
// the longer side as one more; a chosen row selects its bytes in the table,
// F6 and Shift+F6 step from difference to difference, Ctrl+C copies the
// selected bytes and Ctrl+G goes to an offset. New bytes drop the list.
TEST_F(TstReaders, TheViewerListsEveryDifferenceAndStepsThroughThem) {
  auto* page = Page<TfmDump>();
  Press(page->btnView);
  TfmView& view = page->View();
  std::string data(100, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i);
  view.Data = data;
  view.ShowData();
  std::string bytes = data.substr(0, 90);  // and ten bytes shorter
  bytes[5] = 'x';
  for (size_t i = 14; i <= 17; ++i) bytes[i] = '-';  // across two rows of the table
  bytes[70] = 'y';
  const fs::path file = fs::temp_directory_path() / (L"tst-diff-" + std::to_wstring(GetCurrentProcessId()) + L".dmp");
  WriteWholeFile(file.wstring(), bytes);
  SetFileDialogHook([&](bool, TFileDialogArgs& args) {
    args.FileName = file.wstring();
    return true;
  });
  Application().Guard([&] { view.tbDiff->Click(); });
  ASSERT_TRUE(Errors.Texts.empty()) << WideToUtf8(Errors.Texts[0]);
  TfmDiff* list = view.Differences();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->Visible());
  EXPECT_EQ(list->Caption(), L"Отличия от файла " + file.filename().wstring());
  EXPECT_EQ(list->lblSummary->Text(), L"Отличий: 4, байт: 16");
  std::vector<std::vector<std::wstring>> rows;
  for (int r = 0; r < list->Grid->RowCount(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < list->Grid->ColCount(); ++c) rows.back().push_back(list->Grid->Cells(c, r));
  }
  using Row = std::vector<std::wstring>;
  EXPECT_EQ(rows, (std::vector<Row>{{L"Смещение", L"Длина", L"Данные", L"Файл"},
                                    {L"000005", L"1", L"05", L"78"},
                                    {L"00000E", L"4", L"0E 0F 10 11", L"2D 2D 2D 2D"},
                                    {L"000046", L"1", L"46", L"79"},
                                    {L"00005A", L"10", L"5A 5B 5C 5D 5E 5F 60 61 ...", L"только в данных"}}));
  Pump();
  shots::SaveWindow(list->Handle(), ShotPath(L"PloverTst-view-differences"));

  // The first difference is selected at once; a row chosen selects its run.
  TStringGrid* g = view.Grid;
  auto selected = [g](uint64_t offset) {
    const TDumpCell c = DumpCellOf(offset);
    return g->IsCellSelected(c.Col, c.Row);
  };
  EXPECT_TRUE(selected(5));
  list->Grid->SelectCell(1, 2);
  for (uint64_t at = 13; at <= 18; ++at) EXPECT_EQ(selected(at), at >= 14 && at <= 17) << at;
  EXPECT_EQ(g->Row(), 1);
  PressKeyWith(g->Handle(), 'C', {VK_CONTROL});
  EXPECT_EQ(ClipboardText(), L"0E 0F \r\n10 11 ");

  // F6 from there and back; from a cell the user moved to, the next after it.
  PressKeyWith(g->Handle(), VK_F6, {});
  EXPECT_TRUE(selected(70));
  EXPECT_EQ(list->Grid->Row(), 3);
  PressKeyWith(list->Grid->Handle(), VK_F6, {VK_SHIFT});
  EXPECT_TRUE(selected(14));
  EXPECT_EQ(list->Grid->Row(), 2);
  g->SelectCell(1, 5);  // offset 0x40
  PressKeyWith(g->Handle(), VK_F6, {});
  EXPECT_EQ(list->Grid->Row(), 3);
  PressKeyWith(g->Handle(), VK_F6, {});
  EXPECT_TRUE(selected(99));
  EXPECT_EQ(g->Row(), 6) << "the rest of the data begins there";

  // Ctrl+G: the typed offset's cell; one past the data is refused.
  std::wstring typed = L"3c";
  Application().OnModalStart = [&](TForm& form) {
    form.Ctl<TEdit>(L"edtOffset")->SetText(typed);
    Pump();
    shots::SaveWindow(form.Handle(), ShotPath(L"PloverTst-view-goto"));
    form.SetModalResult(mrOk);
  };
  PressKeyWith(g->Handle(), 'G', {VK_CONTROL});
  EXPECT_EQ(g->Col(), 13);
  EXPECT_EQ(g->Row(), 4);
  typed = L"64";
  PressKeyWith(g->Handle(), 'G', {VK_CONTROL});
  EXPECT_EQ(Errors.Texts, std::vector<std::wstring>{L"Смещение 000064 за концом данных."});
  Application().OnModalStart = nullptr;

  // "Сравнить с файлом" says what it always said.
  Application().Guard([&] { view.tbCompare->Click(); });
  EXPECT_EQ(Errors.Texts.back(), L"Размеры файлов отличаются.");
  // Other bytes in the viewer: the list goes.
  view.ShowData();
  EXPECT_FALSE(list->Visible());
  WriteWholeFile(file.wstring(), data);
  Application().Guard([&] { view.tbDiff->Click(); });
  EXPECT_EQ(list->lblSummary->Text(), L"Файлы не отличаются.");
  EXPECT_EQ(list->Grid->RowCount(), 2);
  view.Close();
  fs::remove(file);
}

TEST_F(TstReaders, AWholeDumpOfTheClockIsReadShownAndSaved) {
  auto* page = Page<TfmDump>();
  ASSERT_NE(page, nullptr);
  page->cbDevice->SetItemIndex(1);  // "Часы"
  Press(page->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return DumpDone(page); }));
  const int32_t blocks = Main->Driver().get_DataBlockCount();
  ASSERT_GT(blocks, 0);
  EXPECT_EQ(page->lblInfo->Text(), L"Всего блоков: " + std::to_wstring(blocks) + L"  Прочитано: " +
                                       std::to_wstring(blocks));
  EXPECT_EQ(page->lblTime->Text().rfind(L"Прошло времени: ", 0), 0u);
  EXPECT_FALSE(page->ProgressBar->Visible());
  EXPECT_EQ(page->ProgressBar->Position(), page->ProgressBar->Max());
  const std::string data = page->Reader()->Data();
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(data.size() % static_cast<size_t>(blocks), 0u);

  // Saved as a dump file under the device's name, then compared in the viewer.
  const fs::path dir = fs::temp_directory_path() / (L"tst-dump-" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(dir);
  std::wstring proposed;
  SetFileDialogHook([&](bool save, TFileDialogArgs& args) {
    if (save) proposed = args.FileName;
    args.FileName = (dir / L"clock.dmp").wstring();
    return true;
  });
  Press(page->btnSave);
  EXPECT_EQ(proposed, L"Часы");
  EXPECT_EQ(ReadWholeFile((dir / L"clock.dmp").wstring()), data);
  Press(page->btnView);
  TfmView& view = page->View();
  EXPECT_TRUE(view.Visible());
  EXPECT_EQ(view.Caption(), L"Часы");
  EXPECT_EQ(view.Grid->RowCount(), static_cast<int>((data.size() + 15) / 16) + 1);
  EXPECT_EQ(view.Grid->Cells(0, 2), L"000010");
  // The bar's hints: the mouse over the bar gives the tooltip its three tools.
  const RECT open = view.tbLeft->ButtonRect(*view.tbOpen);
  view.tbLeft->Perform(WM_MOUSEMOVE, 0, MAKELPARAM(open.left + 3, open.top + 3));
  ASSERT_NE(view.HintWindow(), nullptr);
  EXPECT_EQ(SendMessageW(view.HintWindow(), TTM_GETTOOLCOUNT, 0, 0), 4);  // and the list of differences
  wchar_t tip[80] = {};
  TOOLINFOW ti{};
  ti.cbSize = sizeof ti;
  ti.hwnd = view.tbLeft->Handle();
  ti.uId = static_cast<UINT_PTR>(view.tbCompare->CommandId());
  ti.lpszText = tip;
  SendMessageW(view.HintWindow(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
  EXPECT_STREQ(tip, L"Сравнить с файлом");
  Pump();
  shots::SaveWindow(Main->Handle(), ShotPath(L"PloverTst-dump"));
  shots::SaveWindow(view.Handle(), ShotPath(L"PloverTst-view"));
  // As a click on the bar runs it: guarded, so an error reaches the display.
  auto click = [](TToolButton* b) { Application().Guard([b] { b->Click(); }); };
  click(view.tbCompare);
  EXPECT_EQ(Boxes.back(), L"Файлы не отличаются.");
  WriteWholeFile((dir / L"clock.dmp").wstring(), data + "x");
  click(view.tbCompare);
  EXPECT_EQ(Errors.Texts.back(), L"Размеры файлов отличаются.");
  view.Close();
  fs::remove_all(dir);
}

TEST_F(TstReaders, SavingBeforeAnyReadingWritesAnEmptyFileUnderTheUnknownName) {
  auto* page = Page<TfmDump>();
  const fs::path file = fs::temp_directory_path() / (L"tst-empty-" + std::to_wstring(GetCurrentProcessId()) + L".dmp");
  std::wstring proposed;
  SetFileDialogHook([&](bool, TFileDialogArgs& args) {
    proposed = args.FileName;
    args.FileName = file.wstring();
    return true;
  });
  Press(page->btnSave);
  EXPECT_EQ(proposed, L"Неизвестное устройство");
  EXPECT_TRUE(fs::exists(file));
  EXPECT_EQ(fs::file_size(file), 0u);
  EXPECT_TRUE(Errors.Texts.empty());
  fs::remove(file);
}

TEST_F(TstReaders, AFailingBlockIsAnsweredNoThenYes) {
  auto* page = Page<TfmDump>();
  page->cbDevice->SetItemIndex(1);
  TDriver& d = Main->Driver();
  d.SetProperty(L"FaultMethod", TVariant::FromStr(L"RequestDump"));
  d.SetProperty(L"FaultCode", TVariant::FromInt(3));
  d.SetProperty(L"FaultEvery", TVariant::FromInt(4));  // the block count, two blocks, then a failure
  Press(page->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return DumpDone(page); }));
  ASSERT_EQ(Boxes.size(), 1u);
  EXPECT_NE(Boxes[0].find(L". Продолжить ?"), std::wstring::npos) << WideToUtf8(Boxes[0]);
  const size_t blockSize = page->Reader()->DataSize() / 2;
  EXPECT_GT(blockSize, 0u) << "No kept the two blocks read";

  Boxes.clear();
  Answers.assign(1000, IDYES);
  Press(page->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return DumpDone(page); }, 20000));
  d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
  EXPECT_FALSE(Boxes.empty());
  EXPECT_EQ(page->Reader()->DataSize(), blockSize * static_cast<size_t>(Main->Driver().get_DataBlockCount()));
  EXPECT_TRUE(Errors.Texts.empty());
}

TEST_F(TstReaders, SettingsAreRefusedWhileADumpReadsAndAllowedAfter) {
  auto* page = Page<TfmDump>();
  page->cbDevice->SetItemIndex(4);  // the long one
  Main->Driver().SetProperty(L"LinkLatency", TVariant::FromInt(1));
  Press(page->btnStart);
  ASSERT_TRUE(PumpUntil([&] { return page->btnStart->Text() == L"Прервать"; }));
  EXPECT_TRUE(page->IsBusy());
  Press(Main->btnProperties);
  EXPECT_EQ(Errors.Texts, (std::vector<std::wstring>{L"Перед настройкой необходимо остановить выполнение операций."}));
  Press(page->btnStart);  // "Прервать"
  ASSERT_TRUE(PumpUntil([&] { return DumpDone(page); }));
  EXPECT_FALSE(page->IsBusy());
  EXPECT_NO_THROW(CheckPagesIdle(Main->Pages()));
  EXPECT_GT(page->Reader()->DataSize(), 0u);
}

// The message box of this thread that is up, if any.
static HWND ThreadMessageBox() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w)) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The worker's question as the real message box, asked while the viewer is
// the active window (the user watches the data): no window of the program
// takes input while it is up, and "Прервать" pressed meanwhile (here by a
// timer that runs inside the box's own message loop) only asks the worker to
// stop: it does not wait for the worker that waits for the box. Answered,
// the reading ends with the blocks read and the button comes back.
TEST_F(TstReaders, TheWorkersQuestionIsABoxOfTheWholeProgram) {
  Application().SetMessageBoxHook(nullptr);
  auto* page = Page<TfmDump>();
  page->cbDevice->SetItemIndex(4);  // "Память программ ККМ"
  Press(page->btnView);
  TfmView& view = page->View();
  ASSERT_TRUE(PumpUntil([&] { return GetActiveWindow() == view.Handle(); }));
  TDriver& d = Main->Driver();
  d.SetProperty(L"FaultMethod", TVariant::FromStr(L"RequestDump"));
  d.SetProperty(L"FaultCode", TVariant::FromInt(3));
  d.SetProperty(L"FaultEvery", TVariant::FromInt(4));  // the block count, two blocks, then a failure

  struct {
    bool Seen = false, MainEnabled = true, ViewEnabled = true, StillActive = false;
    HWND Owner = nullptr;
    std::wstring Text;
  } box;
  Main->StartTimer(77, 20, [&] {
    HWND w = ThreadMessageBox();
    if (!w || box.Seen) return;
    box.Seen = true;
    box.Owner = GetWindow(w, GW_OWNER);
    box.MainEnabled = IsWindowEnabled(Main->Handle()) != FALSE;
    box.ViewEnabled = IsWindowEnabled(view.Handle()) != FALSE;
    wchar_t text[200] = {};
    GetDlgItemTextW(w, 0xFFFF, text, 200);
    box.Text = text;
    page->btnStartClick();  // "Прервать", as if it were pressed now
    box.StillActive = page->Reader()->Active();
    PostMessageW(w, WM_COMMAND, IDYES, 0);  // "Yes": the stop asked for still wins
  });
  // Started without a click, which would make the main window the active one.
  Application().Guard([&] { page->btnStartClick(); });
  ASSERT_EQ(GetActiveWindow(), view.Handle());
  ASSERT_TRUE(PumpUntil([&] { return box.Seen && DumpDone(page); }, 20000));
  Main->StopTimer(77);
  d.SetProperty(L"FaultEvery", TVariant::FromInt(0));
  EXPECT_EQ(box.Owner, view.Handle());
  EXPECT_FALSE(box.MainEnabled);
  EXPECT_FALSE(box.ViewEnabled);
  EXPECT_NE(box.Text.find(L". Продолжить ?"), std::wstring::npos) << WideToUtf8(box.Text);
  EXPECT_TRUE(box.StillActive) << "the stop only asked";
  EXPECT_TRUE(IsWindowEnabled(Main->Handle()));
  EXPECT_TRUE(IsWindowEnabled(view.Handle()));
  EXPECT_EQ(ThreadMessageBox(), nullptr);
  EXPECT_EQ(page->Reader()->DataSize() % 2, 0u);
  EXPECT_GT(page->Reader()->DataSize(), 0u) << "the two blocks read stay";
  EXPECT_TRUE(Errors.Texts.empty());
}

// The program closed in the middle of a long dump, again and again: the
// worker ends first, the driver after it, each close well within 2 s.
TEST_F(TstReaders, ClosingDuringALongDumpEndsAtOnce) {
  double slowest = 0;
  for (int i = 0; i < 20; ++i) {
    auto* page = Page<TfmDump>();
    page->cbDevice->SetItemIndex(4);
    Main->Driver().SetProperty(L"LinkLatency", TVariant::FromInt(1));
    Press(page->btnStart);
    ASSERT_TRUE(PumpUntil([&] { return page->btnStart->Text() == L"Прервать"; })) << i;
    const auto start = TSteady::now();
    Main.reset();
    slowest = std::max(slowest, std::chrono::duration<double>(TSteady::now() - start).count());
    Start();
  }
  EXPECT_LT(slowest, 2.0);
  EXPECT_TRUE(Errors.Texts.empty());
}
