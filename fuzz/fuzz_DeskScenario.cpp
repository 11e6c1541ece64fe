// Scenario files come from users and journals from the field: the parser
// must refuse anything it cannot play with a line and a reason, and every
// request of a file it accepts must go into a frame as it stands.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "untEcrCatalog.h"
#include "untEcrScenario.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ecr::TDeskPlan plan;
  ecr::TScenarioError error;
  if (!ecr::ParseDeskScenario(bytes, plan, error)) {
    if (error.Text.empty() || error.Line < 0 || !plan.Steps.empty() || !plan.Order.empty()) std::abort();
    return 0;
  }
  if (plan.Order.empty() || plan.Order.size() > ecr::kMaxDeskSteps) std::abort();
  for (const auto& turn : plan.Order)
    if (turn.Step >= plan.Steps.size() || turn.PauseMs < 0) std::abort();
  for (const auto& step : plan.Steps) {
    if (step.Line < 1) std::abort();
    ecr::TFrame frame;
    frame.Code = step.Code;
    frame.Params = step.Params;
    std::string encoded;
    if (ecr::EncodeFrame(frame, encoded) != 0) std::abort();
  }
  return 0;
}
