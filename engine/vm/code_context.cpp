#include "engine/vm/code_context.h"

#include <algorithm>

#include "engine/services/errors.h"
#include "engine/services/messages.h"
#include "engine/vm/disassembler.h"

namespace NUV {

namespace {

// Constants searched for a duplicate, newest first.
constexpr int32_t ConstantWindow = 20;
// Least growth of the code area, the data area and the position table. Large
// areas grow by half their size, so compiling a long expression stays linear.
constexpr size_t GrowthStep = 256;

template <typename tElement>
void ReserveStep(std::vector<tElement>& vector) {
  if (vector.size() == vector.capacity())
    vector.reserve(vector.capacity() + std::max(GrowthStep, vector.capacity() / 2));
}

}  // namespace

int32_t NUVContextHashBits(tNUVContextKind kind) {
  switch (kind) {
    case ctFunction:
    case ctExprFunction:
    case ctProperty: return 1;
    case ctClass: return 3;
    default: return 0;
  }
}

tNUVInterCodeContext::tNUVInterCodeContext(tNUVInterCodeContext* parent, const tNUVString& name,
                                           iNUVCodeContextOwner* owner, tNUVContextKind kind)
    : tNUVCustomObject(NUVContextHashBits(kind)),
      Kind(kind),
      Name(name),
      Enclosing(parent),
      Owner(owner),
      ReservedCount(kind == ctProperty ? 0 : 2) {
  // A context is called, not finalized: a method named like the finalizer must not
  // run when the class object goes away.
  CallFinalize = false;
  Owner->RegisterContext(this);
  if (Kind != ctTopLevel) Owner->AddRefOwner();
  if (Kind == ctClass) {
    // The class object registers itself as the class of the new instance, then
    // the registration code of its members is inserted here at commit.
    try {
      TempHighWater = std::max(TempHighWater, 1);
      int32_t nameConstant = AddConstant(tNUVVariant(Name));
      Emit(VM_CONST, {1, nameConstant});
      Emit(VM_ADDCI, {-1, 1});
      Emit(VM_CL, {1});
    } catch (...) {
      // No destructor runs for a failed construction: undo the registration.
      Owner->UnregisterContext(this);
      Owner->ReleaseOwner();
      throw;
    }
    RegistrationPoint = GetCodeCount();
  }
}

void tNUVInterCodeContext::RenewMemberCaches() {
  if (MemberCaches) RetiredMemberCaches.push_back(std::move(MemberCaches));
  MemberCaches = std::make_unique<tNUVMemberCacheEntry[]>(Data.size());
  MemberCacheCount = Data.size();
}

tNUVInterCodeContext::~tNUVInterCodeContext() {
  for (tNUVExprNode* node : Nodes) delete node;
  Nodes.clear();
  // Releasing nested contexts may release the owner's last other references; the
  // owner itself goes last.
  Data.clear();
  if (Setter) Setter->Release();
  if (Getter) Getter->Release();
  if (SuperProxy) SuperProxy->Release();
  Owner->UnregisterContext(this);
  if (Kind != ctTopLevel) Owner->ReleaseOwner();
}

void tNUVInterCodeContext::SetSuperProxy(tNUVInterCodeContext* proxy) {
  if (proxy) proxy->AddRef();
  if (SuperProxy) SuperProxy->Release();
  SuperProxy = proxy;
}

void tNUVInterCodeContext::RaiseOutOfMemory() {
  tNUVString message(NUVInsufficientMem.Text());
  Owner->RaiseCompileError(message, LastPosition < 0 ? 0 : LastPosition);
  NUVThrowError(message);   // an owner that returns still must not let compilation go on
}

// Code -----------------------------------------------------------------------------------

int32_t tNUVInterCodeContext::EmitWord(int32_t word, int32_t position) {
  int32_t codePosition = GetCodeCount();
  Guarded([&] {
    ReserveStep(Code);
    Code.push_back(word);
  });
  if (position != -1 && position != LastPosition) {
    AddPositionPair(codePosition, position);
    LastPosition = position;
  }
  return codePosition;
}

int32_t tNUVInterCodeContext::EncodeOperand(char shape, int32_t value, int32_t opcodePosition) {
  switch (shape) {
    case 'r': return EncodeRegister(value);
    case 'c': return EncodeConstant(value);
    case 't': return value < 0 ? 0 : value - opcodePosition;   // word distance until commit
    default: return value;
  }
}

const tNUVInstructionInfo& tNUVInterCodeContext::CheckedInfo(tNUVOpcode opcode, tNUVArgumentListKind list,
                                                              size_t operandCount) {
  // A generator asking for an instruction that does not exist, or with the wrong
  // operands, would produce code the interpreter cannot decode.
  if (!IsValidOpcode(opcode) || InstructionInfo(opcode).List != list ||
      static_cast<int32_t>(operandCount) != InstructionTableChecks::ShapeLength(InstructionInfo(opcode).Shape)) {
    tNUVString message(NUVInternalError.Text());
    Owner->RaiseCompileError(message, LastPosition < 0 ? 0 : LastPosition);
    NUVThrowError(message);
  }
  return InstructionInfo(opcode);
}

int32_t tNUVInterCodeContext::Emit(tNUVOpcode opcode, std::initializer_list<int32_t> operands, int32_t position) {
  const tNUVInstructionInfo& info = CheckedInfo(opcode, NoArguments, operands.size());
  int32_t opcodePosition = EmitWord(opcode, position);
  const char* shape = info.Shape;
  for (int32_t operand : operands) EmitWord(EncodeOperand(*shape++, operand, opcodePosition));
  if (opcode == VM_JF || opcode == VM_JNF || opcode == VM_JMP || opcode == VM_ENTRY) {
    Guarded([&] { Jumps.push_back(opcodePosition); });
  }
  return opcodePosition;
}

int32_t tNUVInterCodeContext::EmitCall(tNUVOpcode opcode, std::initializer_list<int32_t> fixedOperands,
                                       const std::vector<int32_t>* arguments, int32_t position) {
  const tNUVInstructionInfo& info = CheckedInfo(opcode, ArgumentList, fixedOperands.size());
  int32_t opcodePosition = EmitWord(opcode, position);
  const char* shape = info.Shape;
  for (int32_t operand : fixedOperands) EmitWord(EncodeOperand(*shape++, operand, opcodePosition));
  if (!arguments) {
    EmitWord(NUVArgumentsOmitted);
  } else {
    EmitWord(static_cast<int32_t>(arguments->size()));
    for (int32_t reg : *arguments) EmitWord(EncodeRegister(reg));
  }
  return opcodePosition;
}

int32_t tNUVInterCodeContext::EmitCallExtended(tNUVOpcode opcode, std::initializer_list<int32_t> fixedOperands,
                                               const std::vector<std::pair<tNUVArgumentKind, int32_t>>& pairs,
                                               int32_t position) {
  const tNUVInstructionInfo& info = CheckedInfo(opcode, ArgumentList, fixedOperands.size());
  int32_t opcodePosition = EmitWord(opcode, position);
  const char* shape = info.Shape;
  for (int32_t operand : fixedOperands) EmitWord(EncodeOperand(*shape++, operand, opcodePosition));
  EmitWord(NUVArgumentsExtended);
  EmitWord(static_cast<int32_t>(pairs.size()));
  for (const auto& [kind, reg] : pairs) {
    EmitWord(kind);
    EmitWord(EncodeRegister(reg));
  }
  return opcodePosition;
}

int32_t tNUVInterCodeContext::EmitForwardJump(tNUVOpcode opcode, std::vector<int32_t>& patches, int32_t position,
                                              int32_t extraRegister) {
  int32_t opcodePosition = opcode == VM_ENTRY ? Emit(opcode, {-1, extraRegister}, position)
                                              : Emit(opcode, {-1}, position);
  Guarded([&] { patches.push_back(opcodePosition + 1); });
  return opcodePosition;
}

void tNUVInterCodeContext::PatchJump(int32_t operandPosition, int32_t target) {
  if (operandPosition < 1 || operandPosition >= GetCodeCount()) return;
  Code[static_cast<size_t>(operandPosition)] = target - (operandPosition - 1);
}

void tNUVInterCodeContext::ResolvePatches(const std::vector<int32_t>& patches, int32_t target) {
  for (int32_t operand : patches) PatchJump(operand, target);
}

// Constants ---------------------------------------------------------------------------------

int32_t tNUVInterCodeContext::AddConstant(const tNUVVariant& value) {
  int32_t count = GetConstantCount();
  int32_t oldest = std::max(0, count - ConstantWindow);
  for (int32_t i = count - 1; i >= oldest; --i) {
    if (Data[static_cast<size_t>(i)].DiscernCompareStrictReal(value)) return i;
  }
  Guarded([&] {
    ReserveStep(Data);
    if (value.Type() == tvtString) {
      Data.emplace_back(MapGlobalString(value.AsString()));
    } else {
      Data.push_back(value);
    }
  });
  return count;
}

// Registers and declarations -------------------------------------------------------------------

void tNUVInterCodeContext::ReleaseTemporaries(int32_t savedBase) {
  TempHighWater = std::max(TempHighWater, NextTemp - 1);
  NextTemp = savedBase;
}

void tNUVInterCodeContext::DeclareLocal(const tNUVString& name, int32_t valueRegister, int32_t position) {
  bool isMember = (Kind == ctTopLevel && ScopeDepth() < 1) || (Kind == ctClass && ScopeDepth() < 2);
  if (isMember) {
    int32_t nameConstant = AddConstant(tNUVVariant(name));
    Emit(VM_SPDE, {-1, nameConstant, valueRegister}, position);
    return;
  }
  int32_t slot = AddName(name);
  if (valueRegister != 0) {
    Emit(VM_CP, {LocalRegister(slot), valueRegister}, position);
  } else {
    Emit(VM_CL, {LocalRegister(slot)}, position);
  }
}

void tNUVInterCodeContext::DeclareLocal(const tNUVString& name, const tNUVValueGenerator& initial,
                                        int32_t position) {
  if (!initial) {
    DeclareLocal(name, 0, position);
    return;
  }
  int32_t savedBase = NextTemp;
  int32_t valueRegister = initial(*this);
  DeclareLocal(name, valueRegister, position);
  ReleaseTemporaries(savedBase);
}

void tNUVInterCodeContext::AddParameter(const tNUVString& name, const tNUVValueGenerator& defaultValue,
                                        int32_t position) {
  AddName(name);
  int32_t argumentRegister = LocalRegister(ArgCount);
  if (defaultValue) {
    // The default applies only when the passed value is identical to void.
    std::vector<int32_t> skip;
    Emit(VM_CDEQ, {argumentRegister, 0}, position);
    EmitForwardJump(VM_JNF, skip, position);
    int32_t savedBase = NextTemp;
    int32_t valueRegister = defaultValue(*this);
    Emit(VM_CP, {argumentRegister, valueRegister}, position);
    ReleaseTemporaries(savedBase);
    ResolvePatches(skip, GetCodeCount());
  }
  ++ArgCount;
}

void tNUVInterCodeContext::AddRestParameter(const tNUVString& name) {
  if (name.IsEmpty()) {
    UnnamedArgBase = ArgCount;
    return;
  }
  CollapseBase = ArgCount;
  AddName(name);
}

void tNUVInterCodeContext::SetSetterParameter(const tNUVString& name) {
  AddName(name);
  ArgCount = 1;
}

int32_t tNUVInterCodeContext::AddName(const tNUVString& name) {
  int32_t slot = 0;
  Guarded([&] { slot = Scopes.AddName(name); });
  return slot;
}

// Nesting ---------------------------------------------------------------------------------------

tNestData& tNUVInterCodeContext::PushNest(tNUVNestType type) {
  Guarded([&] { Nest.emplace_back(); });
  tNestData& data = Nest.back();
  data.Type = type;
  data.VariableCount = LiveCount();
  return data;
}

tNestData tNUVInterCodeContext::PopNest(tNUVNestType type, int32_t position) {
  if (Nest.empty() || Nest.back().Type != type) {
    tNUVString detail(u"unbalanced nesting");
    Owner->ReportError(NUVFillMessage(NUVSyntaxError.Text(), &detail), position < 0 ? LastPosition : position);
    return tNestData();
  }
  tNestData data = std::move(Nest.back());
  Nest.pop_back();
  return data;
}

// Expression nodes ------------------------------------------------------------------------------------

tNUVExprNode* tNUVInterCodeContext::AllocateNode(int32_t op, int32_t position) {
  tNUVExprNode* node = nullptr;
  Guarded([&] {
    ReserveStep(Nodes);
    node = new tNUVExprNode(op, position);
    Nodes.push_back(node);
  });
  return node;
}

void tNUVInterCodeContext::OpenListNode(tNUVExprNode* node) {
  Guarded([&] { ListNodes.push_back(node); });
}

void tNUVInterCodeContext::CloseListNode() {
  if (!ListNodes.empty()) ListNodes.pop_back();
}

// Positions -------------------------------------------------------------------------------------------

void tNUVInterCodeContext::AddPositionPair(int32_t codePosition, int32_t sourcePosition) {
  Guarded([&] { Positions.Add(codePosition, sourcePosition); });
}

const std::vector<tNUVSourcePositionPair>& tNUVInterCodeContext::SortedPositions() {
  return Positions.SortedPairs();
}

int32_t tNUVInterCodeContext::FindPosition(int32_t codePosition) { return Positions.FindPosition(codePosition); }

int32_t tNUVInterCodeContext::FirstCodeOfLine(int32_t codePosition) {
  if (Positions.IsEmpty()) return 0;
  int32_t line = Owner->SourcePositionToLine(FindPosition(codePosition));
  return Positions.FirstCodeAtOrAfter(Owner->LineToSourcePosition(line));
}

// Texts -------------------------------------------------------------------------------------------------

const tNUVInterCodeContext* tNUVInterCodeContext::LabelSubject() const {
  if ((Kind == ctPropertySetter || Kind == ctPropertyGetter) && Enclosing) return Enclosing;
  return this;
}

tNUVString tNUVInterCodeContext::KindAndName() const {
  tNUVString text = tNUVString(u"(") + ContextKindName(Kind) + u")";
  const tNUVString& name = LabelSubject()->Name;
  if (name.GetBody() != nullptr) text = text + u" " + name;
  return text;
}

tNUVString tNUVInterCodeContext::ShortLabel() const {
  tNUVString text = tNUVString(u"(") + ContextKindName(Kind) + u")";
  const tNUVInterCodeContext* subject = LabelSubject();
  if (subject->Name.GetBody() == nullptr) return text;
  text = text + u" ";
  const tNUVInterCodeContext* parent = subject->Enclosing;
  if (parent && parent->Name.GetBody() != nullptr) text = text + parent->Name + u".";
  return text + subject->Name;
}

tNUVString tNUVInterCodeContext::PositionLabel(int32_t codePosition) {
  return Owner->LineLabel(FindPosition(codePosition)) + u"[" + KindAndName() + u"]";
}

void tNUVInterCodeContext::CompileWarning(const tNUVString& text, int32_t position) {
  int32_t line = Owner->SourcePositionToLine(position) + 1;
  tNUVString message = tNUVString(NUVWarning.Text()) + text + u" at " + Owner->GetNameForMessages() +
                       tNUVString::Formatted(u" line %d", line);
  Owner->PrintLine(message);
}

void tNUVInterCodeContext::QueueFix(tFixData fix) {
  Guarded([&] { Fixes.push_back(std::move(fix)); });
}

}  // namespace NUV
