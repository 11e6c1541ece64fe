#pragma once
// What a virtual cash desk plays: the built-in scenario, a scenario file of
// the user's, or the requests an exchange journal recorded. A file is read
// and checked whole before a desk plays any of it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "untEcrFrame.h"

namespace ecr {

// One request of a desk's scenario.
struct TDeskStep {
  uint8_t Code;
  std::vector<TFrameParam> Params;  // the rest of the catalogue inputs keep their defaults
  bool LoseFirstAnswer = false;     // the line eats the first answer, so the desk repeats
  std::vector<TFrameParam> Expect;  // answer values the line expects
  int32_t Line = 0;                 // of the file (0: the built-in scenario)
};

struct TDeskPlan {
  std::vector<TDeskStep> Steps;  // each line of the file once
  // The requests in the order they are played, repeats unrolled; never empty.
  struct TTurn {
    uint32_t Step;               // into Steps
    int64_t PauseMs = 0;         // waited before this request on top of the interval
    int64_t RecordedGapMs = -1;  // a journal's: time since the request before (-1: none)
  };
  std::vector<TTurn> Order;
  // Requests recorded by a journal: their values go out as recorded (dates,
  // document numbers), not made up by the desk.
  bool FromJournal = false;
};

// How a desk paces its requests (DeskReplayPace): by its interval, the file's
// pauses and a journal's recorded spacing, or each as soon as the one before
// is answered.
constexpr int32_t kDeskPaceRecorded = 0;
constexpr int32_t kDeskPaceAnswered = 1;

// Limits of a file, so that a mistyped repeat count cannot take all the time.
constexpr size_t kMaxDeskSteps = 200000;
constexpr int kMaxRepeatDepth = 16;
constexpr int64_t kMaxDeskPauseMs = 3600000;
constexpr size_t kMaxScenarioBytes = 64u << 20;

struct TScenarioError {
  int32_t Line = 0;  // 0: the file as a whole
  std::wstring Text;
};

// Parses a file's bytes (UTF-8, with or without a byte order mark, or the
// ANSI code page). A journal of the driver is recognised by its first line.
bool ParseDeskScenario(std::string_view bytes, TDeskPlan& plan, TScenarioError& error);

// Reads and parses a file. nullptr with the message for the user
// («Сценарий кассы «file», строка N: ...») when it cannot be played.
std::shared_ptr<const TDeskPlan> LoadDeskScenario(const std::wstring& file, std::wstring& message);

// The built-in scenario as a plan.
std::shared_ptr<const TDeskPlan> BuiltInDeskPlan();

// The fixed scenario: two receipts with sales, discounts, payments and
// closings, then a cancelled receipt, cash in, cash out and the end of shift.
const std::vector<TDeskStep>& DeskScenario();

}  // namespace ecr
