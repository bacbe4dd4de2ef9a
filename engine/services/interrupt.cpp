#include "engine/services/interrupt.h"

#include "engine/services/errors.h"

namespace NUV {
namespace {
void* UserData = nullptr;
int32_t Countdown = NUVInterruptPollInterval;
}  // namespace

tNUVInterruptCallback InterruptDetail::Callback = nullptr;

void NUVSetInterruptCallback(tNUVInterruptCallback callback, void* userData) {
  InterruptDetail::Callback = callback;
  UserData = userData;
  Countdown = NUVInterruptPollInterval;
}

void InterruptDetail::CountCheckPoint() {
  if (--Countdown > 0) return;
  Countdown = NUVInterruptPollInterval;
  if (Callback && Callback(UserData)) throw eNUVSilent();
}

}  // namespace NUV
