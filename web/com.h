// COM for the calling thread, held for a scope: every WebRequest enters one before it makes or
// touches an object and leaves it on every path out. Where the system has no COM the holding is
// still kept per thread, and objects are made only inside a scope, as COM's are.
#pragma once

namespace tarnwick {

class ComScope {
  public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool entered_;
};

// True while the calling thread is inside a ComScope that the system accepted.
bool ComHeldOnThisThread();

// The system's side of a scope, one file per platform: true when the thread was initialised
// (and so must be uninitialised once).
bool EnterSystemCom();
void LeaveSystemCom();

}  // namespace tarnwick
