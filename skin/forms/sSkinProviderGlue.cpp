// Glued forms (a form drags the forms named in its GluedForms along when they
// touch it) and screen snapping (a moving form's outline jumps onto the work
// area's edges and onto the edges of other skinned forms). Everything works on
// window rectangles in screen coordinates; with an extended-border window the
// visible outline is what must touch, not the inner window.

#include <algorithm>

#include "skin/core/sMessages.h"
#include "skin/core/sStyleSimply.h"
#include "skin/forms/sSkinProvider.h"

namespace {

TRect WindowRectOf(TCustomForm* F) {
  RECT r{};
  if (F->HandleAllocated()) GetWindowRect(F->Handle(), &r);
  return TRect(r);
}

// The other skinned forms of class TForm that are shown.
template <typename Fn>
void ForOtherForms(TCustomForm* Self, Fn&& Each) {
  const std::vector<TCustomForm*> forms = SkinnedForms();  // a copy: moving a form may change the list
  for (TCustomForm* c : forms) {
    auto* f = dynamic_cast<TForm*>(c);
    if (!f || f == Self || !f->Visible() || !f->HandleAllocated()) continue;
    if (!Each(f)) return;
  }
}

}  // namespace

void ForgetGluedForm(const TCustomForm* Form) {
  std::erase_if(FormsCouples, [Form](const TacFormsCouple& c) {
    return static_cast<const TCustomForm*>(c.Slave) == Form || static_cast<const TCustomForm*>(c.Master) == Form;
  });
}

TRect TsSkinProvider::OutlineRect(TRect R, int Direction) {
  const TacSkinRecords* s = Skin();
  if (!BorderForm || !s) return R;
  const TsSkinData& c = s->CommonSkinData;
  const int b = DiffBorder(BorderForm), t = DiffTitle(BorderForm), d = Direction;
  R.Left -= d * (b + c.ExShadowOffs);
  R.Top -= d * (t + c.ExShadowOffsT);
  R.Right += d * (b + c.ExShadowOffsR);
  R.Bottom += d * (b + c.ExShadowOffsB);
  return R;
}

void TsSkinProvider::CollectGluedForms() {
  auto* self = dynamic_cast<TForm*>(Form);
  if (!self || !FGluedForms) return;
  const TRect a = OutlineRect(WindowRectOf(Form), 1);
  for (int i = 0; i < FGluedForms->Count(); ++i) {
    const String& name = FGluedForms->Strings(i);
    ForOtherForms(Form, [&](TForm* f) {
      if (f->GetName() != name) return true;
      const TRect o = OutlineRect(WindowRectOf(f), 1);
      if (o.Top != a.Bottom && o.Left != a.Right && a.Top != o.Bottom && a.Left != o.Right) return true;
      const TPoint pos(f->Left() - Form->Left(), f->Top() - Form->Top());
      auto it = std::find_if(FormsCouples.begin(), FormsCouples.end(),
                             [&](const TacFormsCouple& c) { return c.Slave == f && c.Master == self; });
      if (it != FormsCouples.end())
        it->Pos = pos;
      else
        FormsCouples.push_back(TacFormsCouple{f, self, pos});
      return true;
    });
  }
}

void TsSkinProvider::MoveGluedForms(bool FromBorderWindow) {
  auto* self = dynamic_cast<TForm*>(Form);
  if (!self || !FGluedForms || (FFormState & FS_SLAVE)) return;
  for (int i = 0; i < FGluedForms->Count(); ++i) {
    const String& name = FGluedForms->Strings(i);
    // A copy: placing a slave runs its own handlers, which may change the list.
    const std::vector<TacFormsCouple> couples = FormsCouples;
    for (const TacFormsCouple& c : couples) {
      if (c.Master != self || c.Slave->GetName() != name) continue;
      if (std::none_of(FormsCouples.begin(), FormsCouples.end(),
                       [&](const TacFormsCouple& k) { return k.Slave == c.Slave && k.Master == self; }))
        continue;  // the slave went away meanwhile
      SendSkinCommandToControl(c.Slave, SKC_SETSLAVE, 1);
      TPoint origin(Form->Left(), Form->Top());
      const TacSkinRecords* s = Skin();
      if (FromBorderWindow && BorderForm && BorderForm->AForm && s) {
        const TRect b = BorderForm->AForm->BoundsRect();
        const TsSkinData& d = s->CommonSkinData;
        const TRect sh = s->FormShadowSize;
        origin = d.ExDrawMode != 0
                     ? TPoint(b.Left + DiffBorder(BorderForm) + d.ExContentOffs, b.Top + DiffTitle(BorderForm) + d.ExContentOffs)
                     : TPoint(b.Left + DiffBorder(BorderForm) + sh.Left, b.Top + DiffTitle(BorderForm) + sh.Top);
      }
      c.Slave->SetBounds(origin.X + c.Pos.X, origin.Y + c.Pos.Y, c.Slave->Width(), c.Slave->Height());
      SendSkinCommandToControl(c.Slave, SKC_SETSLAVE, 0);
    }
  }
}

void TsSkinProvider::SnapPosition(int& X, int& Y) {
  auto* self = dynamic_cast<TForm*>(Form);
  if (!self || (FFormState & FS_SLAVE)) return;
  RemoveGluedSlave(self);
  TRect W;
  GetFormWorkArea(Form, W);
  const TRect Wr = WindowRectOf(Form);
  TPoint delta(0, 0);
  auto done = [&] { return delta.X != 0 && delta.Y != 0; };
  auto tryZone = [&](const TRect& Z) {
    int dx = SnapDelta(X, Z.Left, SnapBuffer);
    if (dx == 0) dx = SnapDelta(X + Wr.Width(), Z.Right, SnapBuffer);
    int dy = SnapDelta(Y, Z.Top, SnapBuffer);
    if (dy == 0) dy = SnapDelta(Y + Wr.Height(), Z.Bottom, SnapBuffer);
    if (delta.X == 0) delta.X = dx;
    if (delta.Y == 0) delta.Y = dy;
  };
  ForOtherForms(Form, [&](TForm* f) {
    const bool slave = std::any_of(FormsCouples.begin(), FormsCouples.end(),
                                   [&](const TacFormsCouple& c) { return c.Master == self && c.Slave == f; });
    if (slave) return true;
    const TRect O = OutlineRect(WindowRectOf(f), 1);
    const TRect zones[4] = {OutlineRect(TRect(W.Left, O.Top, O.Left, O.Bottom), -1),
                            OutlineRect(TRect(O.Left, W.Top, O.Right, O.Top), -1),
                            OutlineRect(TRect(O.Right, O.Top, W.Right, O.Bottom), -1),
                            OutlineRect(TRect(O.Left, O.Bottom, O.Right, W.Bottom), -1)};
    for (int k = 0; k < 4 && !done(); ++k) {
      const TRect& Z = zones[k];
      const bool sides = k == 0 || k == 2;
      const bool overlaps = sides ? Wr.Top <= Z.Bottom && Z.Top <= Wr.Bottom : Wr.Left <= Z.Right && Z.Left <= Wr.Right;
      if (overlaps) tryZone(Z);
    }
    return !done();
  });
  if (!done()) tryZone(OutlineRect(W, -1));
  X -= delta.X;
  Y -= delta.Y;
}
