#pragma once
// Persistent objects that know their owner.

#include "platform/rtl/Classes.h"

class TcxOwnedPersistent : public TPersistent {
 public:
  explicit TcxOwnedPersistent(TPersistent* AOwner) : FOwner(AOwner) {}
  void Assign(TPersistent* Source) override {
    if (auto* s = dynamic_cast<TcxOwnedPersistent*>(Source))
      DoAssign(s);
    else
      TPersistent::Assign(Source);
  }
  TPersistent* Owner() const { return FOwner; }

 protected:
  virtual void DoAssign(TcxOwnedPersistent*) {}
  TPersistent* GetOwner() override { return FOwner; }

 private:
  TPersistent* FOwner;  // not owned
};
