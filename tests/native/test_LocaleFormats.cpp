// Dates and times under the short date and time formats users really have:
// whatever the program writes under a format must read back under it, and the
// catalogue's date and time defaults must go to the driver on the first send.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "test_CmdFakes.h"
#include "untCmdSession.h"
#include "untDateText.h"
#include "untDateTime.h"
#include "untDirectDriver.h"
#include "untEcrCmd.h"
#include "untError.h"
#include "untFormatSettings.h"
#include "untText.h"

namespace {

struct TDateCase {
  const wchar_t* Picture;
  wchar_t Separator;  // the first character of what the system gives as date separator
};

// Short date formats of Windows locales and of the choices its region
// settings offer.
const TDateCase kDateFormats[] = {
    {L"dd.MM.yyyy", L'.'},      // Russian, German, Polish
    {L"d.M.yyyy", L'.'},        // Finnish
    {L"d.MM.yyyy", L'.'},       //
    {L"dd.MM.yy", L'.'},        //
    {L"d. M. yyyy", L'.'},      // Czech, Slovak
    {L"dd.MM.yyyy.", L'.'},     // Serbian, Latvian
    {L"d.M.yyyy.", L'.'},       // Croatian
    {L"yyyy. MM. dd.", L'.'},   // Hungarian
    {L"yyyy.MM.dd", L'.'},      //
    {L"d.M.yyyy 'г.'", L'.'},   // Bulgarian
    {L"yyyy-MM-dd", L'-'},      // Swedish, Lithuanian, ISO
    {L"yyyy-M-d", L'-'},        //
    {L"dd-MM-yyyy", L'-'},      // Dutch
    {L"d-M-yyyy", L'-'},        //
    {L"dd-MMM-yy", L'-'},       // an English choice, month by name
    {L"M/d/yyyy", L'/'},        // English (United States)
    {L"M/d/yy", L'/'},          //
    {L"MM/dd/yyyy", L'/'},      //
    {L"dd/MM/yyyy", L'/'},      // English (United Kingdom), French
    {L"dd/MM/yy", L'/'},        //
    {L"d/M/yyyy", L'/'},        //
    {L"yyyy/MM/dd", L'/'},      // Japanese
    {L"yyyy/M/d", L'/'},        // Chinese
    {L"yy/MM/dd", L'/'},        //
    {L"yyyyMMdd", L'.'},        // typed by hand: no separator at all
};

struct TTimeCase {
  const wchar_t* Picture;
  wchar_t Separator;
  const wchar_t* Am;
  const wchar_t* Pm;
  bool Seconds;  // the picture writes seconds
};

const TTimeCase kTimeFormats[] = {
    {L"HH:mm:ss", L':', L"", L"", true},                    // Russian
    {L"H:mm:ss", L':', L"", L"", true},                     // German, Japanese
    {L"h:mm:ss tt", L':', L"AM", L"PM", true},              // English (United States)
    {L"hh:mm:ss tt", L':', L"AM", L"PM", true},             //
    {L"h:mm:ss tt", L':', L"a. m.", L"p. m.", true},        // Spanish (Mexico)
    {L"tt h:mm:ss", L':', L"오전", L"오후", true},          // Korean
    {L"tt hh:mm:ss", L':', L"上午", L"下午", true},         // Chinese (Taiwan)
    {L"H.mm.ss", L'.', L"", L"", true},                     // Finnish
    {L"HH.mm.ss", L'.', L"", L"", true},                    //
    {L"HH' h 'mm' min 'ss' s '", L' ', L"", L"", true},     // French (Canada)
    {L"HH:mm", L':', L"", L"", false},                      // typed by hand
    {L"h:mm tt", L':', L"AM", L"PM", false},                //
};

TFormatSettings DateSettings(const TDateCase& c) {
  TFormatSettings fs;
  fs.ShortDateFormat = c.Picture;
  fs.DateSeparator = c.Separator;
  return fs;
}

TFormatSettings TimeSettings(const TTimeCase& c) {
  TFormatSettings fs;
  fs.LongTimeFormat = c.Picture;
  fs.TimeSeparator = c.Separator;
  fs.TimeAMString = c.Am;
  fs.TimePMString = c.Pm;
  return fs;
}

class LocaleFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    oldClock_ = SetClock([] { return EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0); });
  }
  void TearDown() override {
    FormatSettings() = saved_;
    SetClock(oldClock_);
  }
  TFormatSettings saved_;
  TClock oldClock_;
};

TEST_F(LocaleFormats, EveryDateWrittenReadsBack) {
  // Within the two-digit year window, so that "yy" keeps the century.
  const int dates[][3] = {{2024, 3, 5},   {1999, 12, 31}, {2000, 2, 29},
                          {2024, 11, 30}, {2010, 1, 1},   {2073, 5, 17}};
  for (const TDateCase& c : kDateFormats) {
    const TFormatSettings fs = DateSettings(c);
    for (const auto& d : dates) {
      const TDateTime v = EncodeDate(d[0], d[1], d[2]);
      const std::wstring text = DateToStr(v, fs);
      TDateTime back = -1;
      EXPECT_TRUE(TryStrToDate(text, fs, back) && back == v) << WideToUtf8(c.Picture) << ": " << WideToUtf8(text);
      // Date and time together, as a driver's date property shows.
      const TDateTime withTime = v + EncodeTime(13, 2, 3, 0);
      back = -1;
      EXPECT_TRUE(TryStrToDateTime(DateTimeToStr(withTime, fs), fs, back) && std::fabs(back - withTime) < 1e-9)
          << WideToUtf8(c.Picture) << ": " << WideToUtf8(DateTimeToStr(withTime, fs));
    }
  }
}

TEST_F(LocaleFormats, DatesTypedWithTheSeparatorOrWithoutTheFormatsOwnText) {
  struct Case {
    const wchar_t* Picture;
    wchar_t Separator;
    const wchar_t* Text;
    int Y, M, D;
  } good[] = {
      {L"d. M. yyyy", L'.', L"5.3.2024", 2024, 3, 5},
      {L"d. M. yyyy", L'.', L"5. 3", 2024, 3, 5},
      {L"dd.MM.yyyy.", L'.', L"05.03.2024", 2024, 3, 5},
      {L"dd.MM.yyyy.", L'.', L"5.3.", 2024, 3, 5},
      {L"d.M.yyyy 'г.'", L'.', L"5.3.2024", 2024, 3, 5},
      {L"d.M.yyyy 'г.'", L'.', L"5.3.2024Г.", 2024, 3, 5},
      {L"d.M.yyyy 'г.'", L'.', L"5.3 г.", 2024, 3, 5},
      {L"yyyy-MM-dd", L'-', L"3-5", 2024, 3, 5},
      {L"yyyy. MM. dd.", L'.', L"2024.3.5", 2024, 3, 5},
      {L"yyyy. MM. dd.", L'.', L"3. 5.", 2024, 3, 5},
      {L"M/d/yyyy", L'/', L"3/5/24", 2024, 3, 5},
      {L"dd-MMM-yy", L'-', L"05-03-24", 2024, 3, 5},
      {L"dd-MMM-yy", L'-', L"5-МАРТА-2024", 2024, 3, 5},
      {L"dd-MMM-yy", L'-', L"5-май-2024", 2024, 5, 5},
      {L"yyyyMMdd", L'.', L"20240305", 2024, 3, 5},
      {L"yyyyMMdd", L'.', L"2024.3.5", 2024, 3, 5},
  };
  for (const auto& c : good) {
    const TFormatSettings fs = DateSettings({c.Picture, c.Separator});
    TDateTime v = -1;
    EXPECT_TRUE(TryStrToDate(c.Text, fs, v) && v == EncodeDate(c.Y, c.M, c.D))
        << WideToUtf8(c.Picture) << ": " << WideToUtf8(c.Text);
  }

  struct Bad {
    const wchar_t* Picture;
    wchar_t Separator;
    const wchar_t* Text;
  } bad[] = {
      {L"d. M. yyyy", L'.', L"5-3-2024"},       // neither the format's text nor the separator
      {L"dd.MM.yyyy.", L'.', L"05.03.2024.."},  // the format's text once only
      {L"d.M.yyyy 'г.'", L'.', L"5.3.2024 гг."},
      {L"M/d/yyyy", L'/', L"3.5.2024"},
      {L"M/d/yyyy", L'/', L"13/5/2024"},        // month first
      {L"yyyy-MM-dd", L'-', L"2024-02-30"},
      {L"dd-MMM-yy", L'-', L"05-мартобря-24"},
      {L"yyyyMMdd", L'.', L"2024-03-05"},
  };
  for (const auto& c : bad) {
    const TFormatSettings fs = DateSettings({c.Picture, c.Separator});
    TDateTime v;
    EXPECT_FALSE(TryStrToDate(c.Text, fs, v)) << WideToUtf8(c.Picture) << ": " << WideToUtf8(c.Text);
  }
}

TEST_F(LocaleFormats, EveryTimeWrittenReadsBack) {
  const int times[][3] = {{0, 0, 0}, {7, 8, 9}, {12, 0, 1}, {12, 59, 59}, {13, 2, 3}, {23, 59, 59}};
  for (const TTimeCase& c : kTimeFormats) {
    const TFormatSettings fs = TimeSettings(c);
    for (const auto& t : times) {
      const TDateTime v = EncodeTime(t[0], t[1], t[2], 0);
      const TDateTime expected = EncodeTime(t[0], t[1], c.Seconds ? t[2] : 0, 0);
      const std::wstring text = TimeToStr(v, fs);
      TDateTime back = -1;
      EXPECT_TRUE(TryStrToTime(text, fs, back) && std::fabs(back - expected) < 1e-9)
          << WideToUtf8(c.Picture) << ": " << WideToUtf8(text);
    }
  }
  // Typed without the seconds, or with the settings' separator instead of the
  // format's own words.
  const TFormatSettings canada = TimeSettings(kTimeFormats[9]);
  EXPECT_DOUBLE_EQ(StrToTime(L"14 h 05", canada), EncodeTime(14, 5, 0, 0));
  EXPECT_DOUBLE_EQ(StrToTime(L"14 h 05 min 09 s", canada), EncodeTime(14, 5, 9, 0));
  EXPECT_THROW(StrToTime(L"14 h 05 min", canada), EConvertError);
  const TFormatSettings finnish = TimeSettings(kTimeFormats[7]);
  EXPECT_DOUBLE_EQ(StrToTime(L"7.08", finnish), EncodeTime(7, 8, 0, 0));
  EXPECT_THROW(StrToTime(L"7:08", finnish), EConvertError);
  const TFormatSettings korean = TimeSettings(kTimeFormats[5]);
  EXPECT_DOUBLE_EQ(StrToTime(L"오후 1:02:03", korean), EncodeTime(13, 2, 3, 0));
  EXPECT_THROW(StrToTime(L"오후 13:02:03", korean), EConvertError);
}

// The commands whose defaults are today's date and time, as the catalogue
// writes them under the formats of the moment.
const uint8_t kDatedCommands[] = {0x11, 0x50, 0x51, 0x52, 0x90, 0x91};

TEST_F(LocaleFormats, CatalogueDatesGoToTheDriverOnTheFirstSend) {
  for (const TDateCase& d : kDateFormats) {
    for (const TTimeCase& t : {kTimeFormats[0], kTimeFormats[2], kTimeFormats[5], kTimeFormats[9]}) {
      TFormatSettings fs = DateSettings(d);
      const TFormatSettings ts = TimeSettings(t);
      fs.LongTimeFormat = ts.LongTimeFormat;
      fs.TimeSeparator = ts.TimeSeparator;
      fs.TimeAMString = ts.TimeAMString;
      fs.TimePMString = ts.TimePMString;
      FormatSettings() = fs;
      const std::string where = WideToUtf8(d.Picture) + " " + WideToUtf8(t.Picture);

      TFakeCmdView view;
      auto driver = TDirectDriver::Create();
      TDirectDriver* ecr = driver.get();
      TCmdSession session(view, std::move(driver), L"");
      session.ShowGridHeader();
      session.FillCommandList();
      session.Params().WaitAnswer = true;
      for (uint8_t code : kDatedCommands) {
        TCommand* command = session.Commands().ItemByCode(code);
        ASSERT_NE(command, nullptr);
        session.SelectCommand(command->Index());
        // Twice: the second time with what the first answer put into the grid.
        for (int round = 0; round < 2; ++round) {
          EXPECT_NO_THROW(session.Execute()) << where << " command " << int(code) << " round " << round;
          EXPECT_EQ(view.Result.rfind(L"(", 0), 0u) << where << ": " << WideToUtf8(view.Result);
        }
      }
      // What reached the register is the date the grid showed.
      session.SelectCommand(session.Commands().ItemByCode(0x50)->Index());
      session.Execute();
      EXPECT_EQ(ecr->get_ECRDate(), EncodeDate(2024, 3, 5)) << where;
    }
  }
}

}  // namespace
