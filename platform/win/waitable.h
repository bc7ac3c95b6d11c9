// What the two thread models of the kernel objects share (threads natively,
// win/sync.cpp; fibers in a browser page, web/web_sync.cpp): the objects a
// wait can be satisfied by, and whether a set of handles satisfies a wait.
#pragma once

#include "platform/win/sync.h"

namespace platform {

class Waitable : public HandleObject {
 public:
  virtual bool Signalled() const = 0;
  // A satisfied wait takes its due: an auto-reset event goes unsignalled.
  virtual void Consume() = 0;
};

class EventObject final : public Waitable {
 public:
  EventObject(bool manualReset, bool signalled) : manualReset(manualReset), signalled(signalled) {}
  bool Signalled() const override { return signalled; }
  void Consume() override {
    if (!manualReset) signalled = false;
  }
  bool manualReset;
  bool signalled;
};

// The waitable a handle names, or null; each thread model keeps its own
// registry (and its own locking around these calls).
using FindWaitable = Waitable* (*)(HANDLE);

// -1: a handle is invalid; 0: not satisfied; 1: satisfied, *index set (the
// first signalled handle, or 0 when all of them were wanted).
int CheckWait(FindWaitable find, const HANDLE* handles, DWORD count, bool waitAll, DWORD* index);
// Consumes what satisfied the wait: the handle at index, or all of them.
void ConsumeWait(FindWaitable find, const HANDLE* handles, DWORD count, bool waitAll, DWORD index);

}  // namespace platform
