// Any bytes as a hint template file. The reader either refuses them with its
// own error, leaving the templates as they were, or adds one template that
// writes out and reads back to the same font, sizes and picture bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "skin/controls/acAlphaHints.h"

namespace {

bool SameSizes(TacBordersSizes* a, TacBordersSizes* b) {
  for (int i = 0; i < 4; ++i)
    if (a->GetInteger(i) != b->GetInteger(i)) return false;
  return true;
}

bool SamePicture(TacHintImage* a, TacHintImage* b) {
  for (int i = 0; i < 5; ++i)
    if (a->BorderDrawModes()->Get(i) != b->BorderDrawModes()->Get(i)) return false;
  return SameSizes(a->BordersWidths(), b->BordersWidths()) && SameSizes(a->ClientMargins(), b->ClientMargins()) &&
         SameSizes(a->ShadowSizes(), b->ShadowSizes()) && a->ImageData()->Bytes() == b->ImageData()->Bytes() &&
         a->ImageWidth() == b->ImageWidth() && a->ImageHeight() == b->ImageHeight();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream in;
  if (size > 0) in.WriteBuffer(data, int64_t(size));
  TacHintTemplates templates;
  TacHintTemplate* t = nullptr;
  try {
    t = LoadHintTemplateFromStream(templates, in);
  } catch (const EacHintTemplateError&) {
    if (templates.Count() != 0) std::abort();
    return 0;
  }
  if (templates.Count() != 1 || !t) std::abort();
  TMemoryStream out;
  SaveHintTemplateToStream(t, out);
  TacHintTemplate* back = LoadHintTemplateFromStream(templates, out);
  if (back->Font()->Name() != t->Font()->Name() || back->Font()->Size() != t->Font()->Size() ||
      back->Font()->Style() != t->Font()->Style())
    std::abort();
  const int pictures = t->SingleImageUsed() ? 1 : 4;
  for (int i = 0; i < pictures; ++i)
    if (!SamePicture(t->GetImg(i), back->GetImg(i))) std::abort();
  return 0;
}
