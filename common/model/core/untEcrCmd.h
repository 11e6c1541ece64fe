#pragma once
// The protocol commands both programs know: their order, codes, names and
// the parameters of each.
#include "untCommand.h"

#define PLOVER_ECR_COMMAND(cls)                                       \
  class cls : public TCommand {                                       \
   public:                                                            \
    static TCommandClass Class();                                     \
    TCommandClass ClassType() const override { return Class(); }      \
                                                                      \
   protected:                                                         \
    cls() = default;                                                  \
    void AddParams() override;                                        \
    friend class TCommand;                                            \
  };

PLOVER_ECR_COMMAND(TCommand01h)
PLOVER_ECR_COMMAND(TCommand10h)
PLOVER_ECR_COMMAND(TCommand11h)
PLOVER_ECR_COMMAND(TCommand12h)
PLOVER_ECR_COMMAND(TCommand14h)
PLOVER_ECR_COMMAND(TCommand15h)
PLOVER_ECR_COMMAND(TCommand1Ah)
PLOVER_ECR_COMMAND(TCommand1Bh)
PLOVER_ECR_COMMAND(TCommand1Ch)
PLOVER_ECR_COMMAND(TCommand1Dh)
PLOVER_ECR_COMMAND(TCommand1Eh)
PLOVER_ECR_COMMAND(TCommand1Fh)
PLOVER_ECR_COMMAND(TCommand20h)
PLOVER_ECR_COMMAND(TCommand21h)
PLOVER_ECR_COMMAND(TCommand22h)
PLOVER_ECR_COMMAND(TCommand2Dh)
PLOVER_ECR_COMMAND(TCommand2Eh)
PLOVER_ECR_COMMAND(TCommand50h)
PLOVER_ECR_COMMAND(TCommand51h)
PLOVER_ECR_COMMAND(TCommand52h)
PLOVER_ECR_COMMAND(TCommand80h)
PLOVER_ECR_COMMAND(TCommand81h)
PLOVER_ECR_COMMAND(TCommand82h)
PLOVER_ECR_COMMAND(TCommand83h)
PLOVER_ECR_COMMAND(TCommand84h)
PLOVER_ECR_COMMAND(TCommand85h)
PLOVER_ECR_COMMAND(TCommand86h)
PLOVER_ECR_COMMAND(TCommand87h)
PLOVER_ECR_COMMAND(TCommand88h)
PLOVER_ECR_COMMAND(TCommand90h)
PLOVER_ECR_COMMAND(TCommand91h)
PLOVER_ECR_COMMAND(TCommandC0h)
PLOVER_ECR_COMMAND(TCommandFCh)

#undef PLOVER_ECR_COMMAND

// The class named after the code, or TCommand for a code without one.
TCommandClass CommandClassByCode(uint8_t code);
// Empties the list, then creates the 37 commands in their fixed order.
void CreateCommands(TCommands& list);
// The name the catalogue gives a code ("Запрос состояния ККМ"), or nullptr
// for a code outside it.
const wchar_t* CommandNameByCode(uint8_t code);
