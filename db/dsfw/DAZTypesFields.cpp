#include "db/dsfw/DAZTypesFields.h"

#include <cstring>
#include <memory>

namespace {

std::unique_ptr<TStream> BlobStream(TField* Field, TBlobStreamMode Mode) {
  std::unique_ptr<TStream> Stream(Field->DataSet()->CreateBlobStream(Field, Mode));
  if (!Stream) DatabaseErrorFmt("Cannot open BLOB field '%s'", {Field->GetDisplayName()}, Field->DataSet());
  return Stream;
}

// A picture stored by some writers starts with the words 1 and 256 and the
// 32-bit length of what follows; the copy leaves that header out.
void CopyBlob(TField* Source, TField* Dest) {
  std::unique_ptr<TStream> From = BlobStream(Source, bmRead);
  std::unique_ptr<TStream> To = BlobStream(Dest, bmWrite);
  int64_t Size = From->Size();
  From->Seek(0, soBeginning);
  if (Size >= 8) {
    uint8_t Header[8];
    From->ReadBuffer(Header, 8);
    uint16_t W1, W2;
    uint32_t Length;
    std::memcpy(&W1, Header, 2);
    std::memcpy(&W2, Header + 2, 2);
    std::memcpy(&Length, Header + 4, 4);
    if (!(W1 == 1 && W2 == 256 && static_cast<int64_t>(Length) == Size - 8)) From->Seek(0, soBeginning);
  }
  if (From->Position() < Size) To->CopyFrom(*From, Size - From->Position());
}

}  // namespace

void AssignFieldValue(TField* Source, TField* Dest) {
  TFieldType S = Source->DataType();
  TFieldType D = Dest->DataType();
  if (S == ftVarBytes) {
    Variant Value = Source->GetAsVariant();
    if (!(Dest->GetAsVariant() == Value)) Dest->SetAsVariant(Value);
  } else if (S == ftLargeint) {
    if (Source->IsNull())
      Dest->Clear();
    else if (dynamic_cast<TLargeintField*>(Dest) != nullptr)
      Dest->SetAsLargeInt(Source->AsLargeInt());
    else
      Dest->Assign(Source);
  } else if (S == ftWideMemo) {
    Dest->SetAsVariant(Source->AsString());
  } else if (Source->IsBlob() && Dest->IsBlob()) {
    if (D == ftWideMemo)
      Dest->SetAsVariant(Source->GetAsVariant().AsString());
    else
      CopyBlob(Source, Dest);
  } else if (S == ftWideString && Dest->IsBlob()) {
    WideString Text = UTF8ToUTF16(Source->AsString());
    std::unique_ptr<TStream> To = BlobStream(Dest, bmWrite);
    if (!Text.empty()) To->WriteBuffer(Text.data(), static_cast<int64_t>(Text.size() * 2));
  } else if (D == ftWideString && Source->IsBlob()) {
    std::unique_ptr<TStream> From = BlobStream(Source, bmRead);
    std::u16string Text(static_cast<size_t>(From->Size() / 2), u'\0');
    From->Seek(0, soBeginning);
    if (!Text.empty()) From->ReadBuffer(Text.data(), static_cast<int64_t>(Text.size() * 2));
    Dest->SetAsVariant(UTF16ToUTF8(Text));
  } else if (dynamic_cast<TLargeintField*>(Dest) != nullptr) {
    // A null stays null and the whole 64-bit value goes over.
    if (Source->IsNull())
      Dest->Clear();
    else
      Dest->SetAsLargeInt(Source->AsLargeInt());
  } else {
    Dest->Assign(Source);
  }
}
