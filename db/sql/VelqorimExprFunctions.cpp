// Arithmetic, numeric, string, date, system and BLOB functions.
#include <cfenv>
#include <cmath>
#include <limits>

#include "db/sql/VelqorimExprUtil.h"
#include "db/sql/VelqorimSQLProcessor.h"
#include "db/support/DAZDecUtil.h"
#include "db/support/DAZRandom.h"
#include "db/support/DAZUnicode.h"
#include "platform/rtl/DateUtils.h"

// ---------------------------------------------------------------------------
// Rounding

bool IsNotFinite(long double X) { return !std::isfinite(X); }

namespace {

// Nearest integer with halves to even; values beyond 2^63 are integers already.
long double RoundHalfEven(long double v) {
  const int old = std::fegetround();
  if (old != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const long double r = std::nearbyintl(v);
  if (old != FE_TONEAREST) std::fesetround(old);
  return r;
}

}  // namespace

long double RoundValueWithTolerance(int Digits, int Mode, long double Tolerance, long double X) {
  if (IsNotFinite(X) || Mode == 0) return X;
  // Beyond the exponent range of a long double: no digit is left to round,
  // or the nearest multiple of the power is 0 (or beyond range, away from 0).
  constexpr int MaxPlaces = 4900;
  if (Digits > MaxPlaces) return X;
  if (Digits < -MaxPlaces) {
    const long double inf = std::numeric_limits<long double>::infinity();
    if ((Mode == 6 && X < 0) || (Mode == 9 && X < 0)) return -inf;
    if ((Mode == 7 && X > 0) || (Mode == 9 && X > 0)) return inf;
    return 0;
  }
  const int n = std::abs(Digits);
  long double s = 1;
  for (int i = 0; i < n; ++i) s *= 10;
  long double t = std::fabs(X * Tolerance), g;
  if (Digits < 0) {
    t /= s;
    g = X / s;
  } else {
    t *= s;
    g = X * s;
  }
  long double r;
  switch (Mode) {
    case 1: {
      const long double a = RoundHalfEven(g - t);
      r = std::fmod(a, 2.0L) != 0 ? RoundHalfEven(g + t) : a;
      break;
    }
    case 2: r = RoundHalfEven(g + t); break;
    case 3: r = RoundHalfEven(g - t); break;
    case 4: r = RoundHalfEven(std::fabs(g) - t); break;
    case 5: r = RoundHalfEven(std::fabs(g) + t); break;
    case 6: r = RoundHalfEven(g + t - 0.5L); break;
    case 7: r = RoundHalfEven(g - t + 0.5L); break;
    case 8: r = RoundHalfEven(std::fabs(g) + t - 0.5L); break;
    case 9: r = RoundHalfEven(std::fabs(g) - t + 0.5L); break;
    default: return X;
  }
  long double result = Digits < 0 ? r * s : r / s;
  if ((Mode == 4 || Mode == 5 || Mode == 8 || Mode == 9) && !(X >= 0)) result = -result;
  return result;
}

long double RoundValue(int Digits, int Mode, long double X) {
  // The double with bits 3CC3C0000001E5ED: about 5.48e-16.
  return RoundValueWithTolerance(Digits, Mode, 5.481726184209375e-16L, X);
}

namespace {

int RoundingModeOfWord(int Word) {
  switch (Word) {
    case rwHALFEVEN: return 1;
    case rwHALFPOS: return 2;
    case rwHALFNEG: return 3;
    case rwHALFDOWN: return 4;
    case rwHALFUP: return 5;
    case rwRNDNEG: return 6;
    case rwRNDPOS: return 7;
    case rwRNDDOWN: return 8;
    case rwRNDUP: return 9;
    default: return -1;
  }
}

int32_t ToInt32Checked(long double v, const char* Name) {
  if (!(v >= INT32_MIN && v <= INT32_MAX)) RaiseFunctionOverflow(Name);
  return static_cast<int32_t>(v);
}

double FiniteResult(long double v, const char* Name) {
  const double d = NarrowFloat<double>(v);
  if (!std::isfinite(d)) RaiseFunctionOverflow(Name);
  return d;
}

// The exact value of a whole number (false for NULL and other types).
bool WholeNumber(const TABSVariant& V, __int128& Out) {
  if (V.IsNull() || !IsIntegerBaseFieldType(V.DataType())) return false;
  Out = V.DataType() == bftUnsignedInt32 ? static_cast<__int128>(V.GetAsCardinal()) : V.GetAsInt64();
  return true;
}

// Value := Value op Operand (op one of + - * /, "-" negating Value alone).
// Whole numbers never give a wrapped result: a result that does not fit the
// type the operation keeps raises the overflow error instead.
void ArithmeticStep(TABSVariant& Value, const TABSVariant* Operand, TABSDataOperator Op) {
  __int128 a = 0, b = 0;
  const bool whole = WholeNumber(Value, a) && (!Operand || WholeNumber(*Operand, b));
  const char* name = Op == doADD ? "+" : Op == doMUL ? "*" : Op == doDIV ? "/" : "-";
  try {
    switch (Op) {
      case doADD: Value.Add(*Operand); break;
      case doMUL: Value.Mul(*Operand); break;
      case doDIV: Value.Division(*Operand); break;
      default: Value.InvertValue(); break;
    }
  } catch (const EABSIntOverflow&) {
    RaiseFunctionOverflow(name);
  }
  if (!whole) return;
  const __int128 exact = Op == doADD ? a + b : Op == doMUL ? a * b : Op == doDIV ? a / b : -a;
  __int128 result;
  if (!WholeNumber(Value, result) || result != exact) RaiseFunctionOverflow(name);
}

}  // namespace

// ---------------------------------------------------------------------------
// Arithmetic

TABSVariant* TVelqorimExprNodeArithmetic::GetDataValue() {
  auto arg = [&](size_t i) { return Children[i]->GetDataValue(); };
  auto real = [&](size_t i) -> long double { return arg(i)->GetAsExtended(); };
  switch (Operator) {
    case doADD: case doMUL:
      Value.Assign(*arg(0), true);
      for (size_t i = 1; i < Children.size(); ++i) ArithmeticStep(Value, arg(i), Operator);
      break;
    case doSUB:
      Value.Assign(*arg(0), true);
      ArithmeticStep(Value, nullptr, doSUB);
      break;
    case doDIV:
      Value.Assign(*arg(0), true);
      ArithmeticStep(Value, arg(1), doDIV);
      break;
    case doDAZ:
      Value.Assign(*arg(0), true);
      if (!Value.IsNull() && Value.GetAsExtended() < 0) Value.InvertValue();
      break;
    case doSQR: {
      Value.Assign(*arg(0), true);
      TABSVariant same;
      same.Assign(Value, true);
      Value.Mul(same);
      break;
    }
    case doACOS: case doASIN: {
      const long double x = real(0);
      if (!(x >= -1 && x <= 1)) RaiseFunctionArgument(Operator, Operator == doACOS ? "ACOS" : "ASIN");
      SetDoubleValue(Value, static_cast<double>(Operator == doACOS ? std::acos(x) : std::asin(x)));
      break;
    }
    case doATAN: SetDoubleValue(Value, static_cast<double>(std::atan(real(0)))); break;
    case doCOS: SetDoubleValue(Value, static_cast<double>(std::cos(real(0)))); break;
    case doSIN: SetDoubleValue(Value, static_cast<double>(std::sin(real(0)))); break;
    case doEXP: SetDoubleValue(Value, FiniteResult(std::exp(real(0)), "EXP")); break;
    case doLOG: {
      const long double x = real(0);
      if (!(x > 0)) RaiseFunctionArgument(Operator, "LOG");
      SetDoubleValue(Value, static_cast<double>(std::log(x)));
      break;
    }
    case doSQRT: {
      const long double x = real(0);
      if (!(x >= 0)) RaiseFunctionArgument(Operator, "SQRT");
      SetDoubleValue(Value, static_cast<double>(std::sqrt(x)));
      break;
    }
    case doPOWER: {
      const long double x = real(0), y = real(1);
      const long double p = std::pow(x, y);
      if (std::isnan(p)) RaiseFunctionArgument(Operator, "POWER");
      SetDoubleValue(Value, FiniteResult(p, "POWER"));
      break;
    }
    case doCEIL: SetIntegerValue(Value, ToInt32Checked(std::ceil(real(0)), "CEIL")); break;
    case doFLOOR: SetIntegerValue(Value, ToInt32Checked(std::floor(real(0)), "FLOOR")); break;
    case doRAND: {
      const int32_t n = arg(0)->GetAsInteger();
      if (n <= 0) RaiseFunctionArgument(Operator, "RAND");
      SetIntegerValue(Value, ABSRandom(n));  // the engine's one (injectable) random source
      break;
    }
    case doSIGN: {
      const long double x = real(0);
      SetIntegerValue(Value, x < 0 ? -1 : x > 0 ? 1 : 0);
      break;
    }
    case doROUND: {
      const long double x = real(0);
      if (Children.size() == 1) {
        SetIntegerValue(Value, ToInt32Checked(RoundHalfEven(RoundValue(0, 1, x)), "ROUND"));
        break;
      }
      const int digits = arg(1)->GetAsInteger();
      int mode = 1;
      if (Children.size() > 2) {
        mode = RoundingModeOfWord(arg(2)->GetAsInteger());
        if (mode < 0) RaiseFunctionArgument(Operator, "ROUND");
      }
      const long double r = RoundValue(digits, mode, x);
      SetDoubleValue(Value, IsNotFinite(x) ? static_cast<double>(x) : FiniteResult(r, "ROUND"));
      break;
    }
    default:
      RaiseUnknownOperator(30121, Operator);
  }
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeArithmetic::GetDataType() {
  switch (Operator) {
    case doSUB: case doDAZ: case doSQR: return Children[0]->GetDataType();
    case doCEIL: case doFLOOR: case doRAND: case doSIGN: return aftInteger;
    case doROUND: return Children.size() == 1 ? aftInteger : aftDouble;
    case doACOS: case doASIN: case doATAN: case doCOS: case doEXP: case doLOG: case doSIN: case doSQRT:
    case doPOWER:
      return aftDouble;
    default: return TVelqorimExprNode::GetDataType();
  }
}

// ---------------------------------------------------------------------------
// String functions

namespace {

// Copies the operand, text-converted; NULL stays NULL.
void Prepare(TABSVariant& Value, const TABSVariant& Source) {
  Value.Assign(Source, true);
  if (!Value.IsStringDataType()) Value.Cast(bftVarchar);  // a NULL only changes type
}

bool IsBlank(char16_t c) { return c <= u' '; }

template <class S>
S TrimText(const S& t, bool left, bool right) {
  size_t a = 0, b = t.size();
  if (left)
    while (a < b && IsBlank(static_cast<char16_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(t[a]))))
      a++;
  if (right)
    while (b > a &&
           IsBlank(static_cast<char16_t>(static_cast<std::make_unsigned_t<typename S::value_type>>(t[b - 1]))))
      b--;
  return t.substr(a, b - a);
}

int TextLength(const TABSVariant& v) {
  if (v.IsNull()) return 0;
  return v.IsWideStringDataType() ? static_cast<int>(v.GetAsWideString().size())
                                  : static_cast<int>(v.GetAsAnsiString().size());
}

TABSAdvancedFieldType StringResultType(TABSAdvancedFieldType child) {
  switch (AdvancedFieldTypeToBaseFieldType(child)) {
    case bftClob: return aftString;
    case bftWideClob: return aftWideString;
    default: return child;
  }
}

}  // namespace

TABSVariant* TVelqorimExprNodeStringFunction::GetDataValue() {
  switch (Operator) {
    case doCONCAT:
      Prepare(Value, *Children[0]->GetDataValue());
      for (size_t i = 1; i < Children.size(); ++i) Value.Add(*Children[i]->GetDataValue());
      break;
    case doUPPER: case doLOWER:
      Prepare(Value, *Children[0]->GetDataValue());
      if (Value.IsNull()) break;
      if (Value.IsWideStringDataType()) {
        const WideString t = Value.GetAsWideString();
        Value.SetAsWideString(Operator == doUPPER ? UnicodeUpperCase(t) : UnicodeLowerCase(t));
      } else {
        const AnsiString t = Value.GetAsAnsiString();
        Value.SetAsAnsiString(Operator == doUPPER ? AnsiUpperCaseText(t) : AnsiLowerCaseText(t));
      }
      break;
    case doTRIM: case doLTRIM: case doRTRIM: {
      Prepare(Value, *Children[0]->GetDataValue());
      if (Value.IsNull()) break;
      const bool left = Operator != doRTRIM, right = Operator != doLTRIM;
      if (Value.IsWideStringDataType()) Value.SetAsWideString(TrimText(Value.GetAsWideString(), left, right));
      else Value.SetAsAnsiString(TrimText(Value.GetAsAnsiString(), left, right));
      break;
    }
    case doLENGTH: {
      TABSVariant v;
      Prepare(v, *Children[0]->GetDataValue());
      SetIntegerValue(Value, TextLength(v));
      break;
    }
    case doPOS: {
      TABSVariant a, b;
      Prepare(a, *Children[0]->GetDataValue());
      Prepare(b, *Children[1]->GetDataValue());
      size_t at;
      if (a.IsWideStringDataType() || b.IsWideStringDataType()) {
        const WideString x = a.GetAsWideString(), y = b.GetAsWideString();
        at = x.empty() ? WideString::npos : y.find(x);
      } else {
        const AnsiString x = a.GetAsAnsiString(), y = b.GetAsAnsiString();
        at = x.empty() ? AnsiString::npos : y.find(x);
      }
      SetIntegerValue(Value, at == String::npos ? 0 : static_cast<int64_t>(at) + 1);
      break;
    }
    case doSUBSTRING: {
      const int32_t start = Children[1]->GetDataValue()->GetAsInteger();
      int64_t len;
      if (Children.size() > 2) {
        len = Children[2]->GetDataValue()->GetAsInteger();
      } else {
        TABSVariant whole;
        Prepare(whole, *Children[0]->GetDataValue());
        len = TextLength(whole);
      }
      if (start < 1 || len < 0) RaiseFunctionArgument(Operator);
      Prepare(Value, *Children[0]->GetDataValue());
      if (Value.IsNull()) break;
      const size_t from = static_cast<size_t>(start - 1);
      if (Value.IsWideStringDataType()) {
        const WideString t = Value.GetAsWideString();
        Value.SetAsWideString(from < t.size() ? t.substr(from, static_cast<size_t>(len)) : WideString());
      } else {
        const AnsiString t = Value.GetAsAnsiString();
        Value.SetAsAnsiString(from < t.size() ? t.substr(from, static_cast<size_t>(len)) : AnsiString());
      }
      break;
    }
    default:
      RaiseUnknownOperator(30131, Operator);
  }
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeStringFunction::GetDataType() {
  switch (Operator) {
    case doLENGTH: case doPOS: return aftInteger;
    case doCONCAT: return TVelqorimExprNode::GetDataType();
    default: return StringResultType(Children[0]->GetDataType());
  }
}

int TVelqorimExprNodeStringFunction::GetDataSize() {
  switch (Operator) {
    case doLENGTH: case doPOS: return 0;
    case doCONCAT: {
      const TABSAdvancedFieldType type = GetDataType();
      for (auto& c : Children) WrapInCast(c, type);
      return TVelqorimExprNode::GetDataSize();
    }
    case doSUBSTRING: {
      const int size = Children[0]->GetDataSize();
      if (size != 0 || !IsStringBaseFieldType(AdvancedFieldTypeToBaseFieldType(GetDataType()))) return size;
      return Children.size() > 2 ? Children[2]->GetDataValue()->GetAsInteger() : 4096;
    }
    default: return Children[0]->GetDataSize();
  }
}

// ---------------------------------------------------------------------------
// Date functions

TVelqorimExprNodeDateFunction::TVelqorimExprNodeDateFunction(TABSDataOperator Op, TVelqorimExprNodePtr Node,
                                                             const String& FormatStr)
    : TVelqorimExprNode(Op), DateFormater(std::make_unique<TDateFormater>(FormatStr)) {
  AddChild(std::move(Node));
}

TVelqorimExprNodeDateFunction::TVelqorimExprNodeDateFunction(TABSDataOperator Op,
                                                             TABSDateTimeExtractField ExtractField,
                                                             TVelqorimExprNodePtr ExtractSource)
    : TVelqorimExprNode(Op), ExtractDateTimeField(ExtractField) {
  AddChild(std::move(ExtractSource));
}

TABSVariant* TVelqorimExprNodeDateFunction::GetDataValue() {
  switch (Operator) {
    case doSYSDATE:
      Value.Clear(bftDateTime);
      Value.SetAsTDateTime(Now());
      break;
    case doCURRENT_DATE:
      Value.Clear(bftDate);
      Value.SetAsTDate(Date());
      break;
    case doCURRENT_TIME:
      Value.Clear(bftTime);
      Value.SetAsTTime(Time());
      break;
    case doTODATE: {
      Value.Clear(bftDateTime);
      const TABSVariant* v = Children[0]->GetDataValue();
      if (v->IsNull()) break;
      const TDateTime dt = DateFormater->ToDate(v->IsWideStringDataType() ? UTF16ToUTF8(v->GetAsWideString())
                                                                          : AnsiToUTF8(v->GetAsAnsiString()));
      const double day = std::trunc(dt), time = std::fabs(dt - day);
      if (day == 0) {
        Value.Clear(bftTime);
        Value.SetAsTTime(time);
      } else if (time == 0) {
        Value.Clear(bftDate);
        Value.SetAsTDate(dt);
      } else {
        Value.SetAsTDateTime(dt);
      }
      break;
    }
    case doTOSTRING: {
      Value.Clear(bftVarchar);
      const TABSVariant* v = Children[0]->GetDataValue();
      if (v->IsNull()) break;
      Value.SetAsAnsiString(UTF8ToAnsi(DateFormater->ToString(v->GetAsTDateTime())));
      break;
    }
    case doEXTRACT: {
      Value.Clear(bftUnsignedInt16);
      const TABSVariant* v = Children[0]->GetDataValue();
      if (v->IsNull()) break;
      const TDateTime dt = v->GetAsTDateTime();
      int part[3];
      if (ExtractDateTimeField <= dtefDay) {
        ABSDecodeDate(dt, part[0], part[1], part[2]);
      } else {
        int ms;
        ABSDecodeTime(dt, part[0], part[1], part[2], ms);
      }
      Value.SetAsWord(static_cast<uint16_t>(part[ExtractDateTimeField % 3]));
      break;
    }
    default:
      RaiseUnknownOperator(30130, Operator);
  }
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeDateFunction::GetDataType() {
  switch (Operator) {
    case doSYSDATE: return aftDateTime;
    case doCURRENT_DATE: return aftDate;
    case doCURRENT_TIME: return aftTime;
    case doTODATE: return DateFormater->GetDataType();
    case doTOSTRING: return aftString;
    case doEXTRACT: return aftWord;
    default: RaiseUnknownOperator(30287, Operator);
  }
}

int TVelqorimExprNodeDateFunction::GetDataSize() {
  return Operator == doTOSTRING ? DateFormater->GetStringMaxSize() : 0;
}

// ---------------------------------------------------------------------------
// System functions

TVelqorimExprNodeSystem::TVelqorimExprNodeSystem(TABSDataOperator Op, const String& SessionName,
                                                 const String& DatabaseName, const String& TableName,
                                                 const String& ColumnName, bool InMemory)
    : TVelqorimExprNode(Op), FTableName(TableName), FColumnName(ColumnName), FInMemory(InMemory) {
  if (Op != doLASTAUTOINC) return;
  if (!VelqorimAutoincSourceFactory)
    throw EABSException(ErrNoAutoinc, "Tables cannot be opened for LASTAUTOINC here");
  FTable = VelqorimAutoincSourceFactory(SessionName, DatabaseName, TableName, ColumnName, InMemory);
  FFieldType = FTable->ColumnType();
}

TABSVariant* TVelqorimExprNodeSystem::GetDataValue() {
  switch (Operator) {
    case doLASTAUTOINC: {
      const TABSBaseFieldType t = AdvancedFieldTypeToBaseFieldType(FFieldType);
      Value.Clear(t);
      Value.SetAsInt64(FTable->LastAutoincValue());
      break;
    }
    case doROWNUM:
      SetIntegerValue(Value, ++FRowNumValue);
      break;
    default:
      RaiseUnknownOperator(30338, Operator);
  }
  return &Value;
}

TABSAdvancedFieldType TVelqorimExprNodeSystem::GetDataType() {
  switch (Operator) {
    case doLASTAUTOINC: return FFieldType;
    case doROWNUM: return aftInteger;
    default: RaiseUnknownOperator(30338, Operator);
  }
}

// ---------------------------------------------------------------------------
// BLOB

TABSVariant* TVelqorimExprNodeBlob::GetDataValue() {
  const AnsiString text = Children[0]->GetDataValue()->GetAsAnsiString();
  const String bytes = StringFormat_MIME64.ToStr(text.data(), static_cast<int>(text.size()));
  Value.Clear(bftBlob);
  if (!bytes.empty()) Value.SetData(bytes.data(), static_cast<int>(bytes.size()), bftBlob);
  return &Value;
}
