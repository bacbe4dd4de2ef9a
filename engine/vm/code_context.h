#pragma once
// tNUVInterCodeContext: one compiled code unit (the top level of a script, a
// function, a property and its accessors, a class body).
//
// A context is a general script object, so nested functions and a class's methods
// can be attached to it as members. While the parser is inside it, the code
// generator appends instructions to its code area, constants to its data area and
// (code position, script position) pairs to its position table; registers and
// local slots are handed out here, forward jumps are recorded and patched, and the
// declarations that must be visible before their text are queued. Finish commits
// the unit: it binds it to its enclosing context, inserts the registration code,
// relocates and threads the jumps, and leaves the run-time fields (code, data
// area, counts) that the interpreter reads. Afterwards the context is immutable.
//
// Jump operands hold word distances while compiling and byte distances (x4) after
// Finish. Ownership: the context owns its code, constants, positions and the
// expression nodes made while it is current; it holds a reference on its setter,
// getter and super class proxy, and (every kind but the top level) on its owner.
// The enclosing context is not referenced: the owner keeps every context of a
// script alive as long as any of them.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/expression_node.h"
#include "engine/objects/custom_object.h"
#include "engine/values/nuv_string.h"
#include "engine/values/variant.h"
#include "engine/vm/code_decoding.h"
#include "engine/vm/instructions.h"
#include "engine/vm/local_namespace.h"

namespace NUV {

class tNUVInterCodeContext;
class tNUVScriptBlock;
class iNUVRuntime;

// What a context needs from the script block that owns it.
class iNUVCodeContextOwner {
public:
  // Every context registers on creation and unregisters on destruction.
  virtual void RegisterContext(tNUVInterCodeContext* context) = 0;
  virtual void UnregisterContext(tNUVInterCodeContext* context) = 0;
  // The reference a context other than the top level holds on its owner.
  virtual void AddRefOwner() = 0;
  virtual void ReleaseOwner() = 0;
  // A compile error that stops compilation (for example memory exhaustion).
  [[noreturn]] virtual void RaiseCompileError(const tNUVString& message, int32_t position) = 0;
  // The error routine of the parser: counts and reports; compilation goes on.
  virtual void ReportError(const tNUVString& message, int32_t position) = 0;
  // Prints one line through the engine's console output.
  virtual void PrintLine(const tNUVString& line) = 0;
  // The block's name for messages (with its line offset).
  virtual tNUVString GetNameForMessages() = 0;
  // The line (0-based, line offset included) of a script position, and the
  // script position where a line starts.
  virtual int32_t SourcePositionToLine(int32_t position) = 0;
  virtual int32_t LineToSourcePosition(int32_t line) = 0;
  // The line description of a script position ("name(12)").
  virtual tNUVString LineLabel(int32_t position) = 0;
  // Called at commit when object tracking is active: the type name to record.
  virtual void RecordTrackedTypeName(tNUVInterCodeContext* context, const tNUVString& typeName) = 0;
  // The script block the contexts belong to, and the engine services running code
  // needs; none for owners that only compile.
  virtual tNUVScriptBlock* GetScriptBlock() { return nullptr; }
  virtual iNUVRuntime* GetRuntime() { return nullptr; }

protected:
  ~iNUVCodeContextOwner() = default;
};

// One open block, loop, if, else, switch, with or try.
enum tNUVNestType : uint8_t {
  ntBlock = 0, ntWhile = 1, ntDoWhile = 2, ntFor = 3, ntSwitch = 4,
  ntIf = 5, ntElse = 6, ntTry = 7, ntWith = 8,
};

struct tNestData {
  uint8_t Type = ntBlock;
  int32_t VariableCount = 0;         // live variables when opened
  uint32_t Flags = 0;                // used by for and switch
  int32_t LoopStart = -1;            // continue and loop-back target
  std::vector<int32_t> ContinuePatches;   // jump operand positions
  std::vector<int32_t> ExitPatches;
  int32_t Patch1 = -1;               // pending conditional jump, next case test, catch position
  int32_t Patch2 = -1;
  int32_t ValueRegister = 0;         // switch or with value, try exception register
  int32_t ScopeDepth = 0;            // scope depth when opened (switch: where labels may stand)
  bool LabelSeen = false;            // switch: a case or default label was seen
  bool InCatch = false;              // try: the catch part is being compiled (region already left)
  const tNUVExprNode* Step = nullptr;   // for: the third clause, generated after the body
};

// A code replacement applied at commit.
struct tFixData {
  int32_t Start = 0;
  int32_t Size = 0;                  // replaced words (0: pure insertion)
  int32_t NewSize = 0;
  std::vector<int32_t> Words;
  bool BeforeInstruction = true;     // inserted in front of the instruction at Start
};

// A function, property or class declared in the top level script; bound by code
// inserted at the start of the top level so it can be used before its text.
struct tNonLocalFunctionDecl {
  int32_t ContextConstant = 0;
  int32_t NameConstant = 0;
  bool ChangeThis = false;
};

// Generates code for a value and returns the register holding it (used for default
// parameter values and initialisers, whose expression code lives elsewhere).
using tNUVValueGenerator = std::function<int32_t(tNUVInterCodeContext& context)>;

// Where a named member operation last found its member: in the object looked in
// first (a register's object, or the this of a frame's proxy) when SecondStamp is
// 0, else in the proxy's global object. Valid while both stamps still match.
// Depth is the record's place in its bucket, where objects of one class keep
// the same member: another object looked in first is tried there.
struct tNUVMemberCacheFields {
  uint64_t FirstStamp = 0;
  uint64_t SecondStamp = 0;
  tNUVCustomObject::tSymbolData* Symbol = nullptr;
  int32_t Depth = -1;
};
// An entry spans a whole number of data entries, so the cache of a name
// constant is found by scaling its byte offset in the data area, not dividing it:
// the fewest entries that hold the fields with some padding (never none) and keep
// the fields' alignment.
constexpr size_t NUVMemberCacheScaleFor(size_t unit, size_t fields, size_t alignment) {
  size_t scale = fields / unit + 1;
  while ((scale * unit) % alignment != 0) ++scale;
  return scale;
}
inline constexpr size_t NUVMemberCacheScale = NUVMemberCacheScaleFor(
    sizeof(tNUVVariant), sizeof(tNUVMemberCacheFields), alignof(tNUVMemberCacheFields));
struct tNUVMemberCacheEntry : tNUVMemberCacheFields {
  char Padding[NUVMemberCacheScale * sizeof(tNUVVariant) - sizeof(tNUVMemberCacheFields)] = {};
};
static_assert(sizeof(tNUVMemberCacheEntry) == NUVMemberCacheScale * sizeof(tNUVVariant));

class tNUVInterCodeContext : public tNUVCustomObject {
public:
  // Registers the context with the owner and, unless it is the top level, takes a
  // reference on the owner. A class context starts with its registration prologue.
  tNUVInterCodeContext(tNUVInterCodeContext* parent, const tNUVString& name, iNUVCodeContextOwner* owner,
                       tNUVContextKind kind);
  ~tNUVInterCodeContext() override;

  // Identity -----------------------------------------------------------------------
  tNUVContextKind GetKind() const { return Kind; }
  // Whether calling the context itself runs it as a function on the this it is
  // given (what CallMember without a name does for these kinds).
  bool RunsAsFunction() const {
    return !IsInvalidated && Kind != ctTopLevel && Kind != ctProperty && Kind != ctSuperClassGetter;
  }
  const tNUVString& GetName() const { return Name; }
  tNUVInterCodeContext* GetEnclosing() const { return Enclosing; }
  iNUVCodeContextOwner* GetOwner() const { return Owner; }
  tNUVInterCodeContext* GetSetter() const { return Setter; }
  tNUVInterCodeContext* GetGetter() const { return Getter; }
  tNUVInterCodeContext* GetSuperProxy() const { return SuperProxy; }
  // Takes a reference on the proxy (releasing any previous one).
  void SetSuperProxy(tNUVInterCodeContext* proxy);
  tNUVExprNode* GetSuperExpression() const { return SuperExpression; }
  void SetSuperExpression(tNUVExprNode* expression) { SuperExpression = expression; }
  bool IsFinished() const { return Finished; }

  // Code ---------------------------------------------------------------------------
  // Appends a word; a position other than -1 that differs from the last one is
  // recorded in the position table. Returns the word's code position.
  int32_t EmitWord(int32_t word, int32_t position = -1);
  // Emits a whole instruction of fixed length. Operands follow the instruction's
  // shape: registers and constants as plain numbers (encoded here), register
  // counts as numbers, jumps as absolute target positions (-1: forward, to be
  // patched). Jumps are recorded. Returns the position of the opcode word.
  int32_t Emit(tNUVOpcode opcode, std::initializer_list<int32_t> operands, int32_t position = -1);
  // A call-family instruction with plain argument registers, or (arguments null)
  // the omitted form that passes the running function's own arguments.
  int32_t EmitCall(tNUVOpcode opcode, std::initializer_list<int32_t> fixedOperands,
                   const std::vector<int32_t>* arguments, int32_t position = -1);
  // A call-family instruction with an extended list of (kind, register) pairs.
  int32_t EmitCallExtended(tNUVOpcode opcode, std::initializer_list<int32_t> fixedOperands,
                           const std::vector<std::pair<tNUVArgumentKind, int32_t>>& pairs,
                           int32_t position = -1);
  // Emits a jump (jf, jnf, jmp; entry with its exception register as extra) with a
  // 0 operand and adds the operand position to patches. Returns the opcode position.
  int32_t EmitForwardJump(tNUVOpcode opcode, std::vector<int32_t>& patches, int32_t position = -1,
                          int32_t extraRegister = 0);
  // Writes into each patched operand the distance to target.
  void ResolvePatches(const std::vector<int32_t>& patches, int32_t target);
  void PatchJump(int32_t operandPosition, int32_t target);
  int32_t GetCodeCount() const { return static_cast<int32_t>(Code.size()); }
  const std::vector<int32_t>& GetCode() const { return Code; }
  tNUVCodeView GetCodeView() const { return {Code.data(), GetCodeCount()}; }
  const std::vector<int32_t>& GetJumps() const { return Jumps; }

  // Constants ------------------------------------------------------------------------
  // The index of an equal constant among the last 20, or of a new one.
  int32_t AddConstant(const tNUVVariant& value);
  int32_t GetConstantCount() const { return static_cast<int32_t>(Data.size()); }

  // Registers ------------------------------------------------------------------------
  int32_t AllocateTemporary() { return NextTemp++; }
  int32_t GetNextTemp() const { return NextTemp; }
  void ReleaseTemporaries(int32_t savedBase);
  // Makes the frame cover a register that is written without being allocated.
  void CoverRegister(int32_t reg) { TempHighWater = std::max(TempHighWater, reg); }
  int32_t GetTempHighWater() const { return TempHighWater; }
  int32_t GetReservedCount() const { return ReservedCount; }
  // The register of local slot i.
  int32_t LocalRegister(int32_t slot) const { return -(slot + ReservedCount + 1); }

  // Scopes -----------------------------------------------------------------------------
  void PushScope() { Scopes.PushScope(); }
  void PopScope() { Scopes.PopScope(); }
  int32_t AddName(const tNUVString& name);
  int32_t FindName(const tNUVString& name) const { return Scopes.FindName(name); }
  void RemoveName(const tNUVString& name) { Scopes.RemoveName(name); }
  int32_t ScopeDepth() const { return Scopes.ScopeDepth(); }
  int32_t LiveCount() const { return Scopes.LiveCount(); }
  const tNUVLocalNamespace& GetScopes() const { return Scopes; }

  // Declarations -----------------------------------------------------------------------
  // Declares a variable with the value in a register (0: void). At the outermost
  // level of the top level and in a class body the variable is a member of this.
  void DeclareLocal(const tNUVString& name, int32_t valueRegister, int32_t position = -1);
  // Declares with the value produced by a generator; temporaries are released.
  void DeclareLocal(const tNUVString& name, const tNUVValueGenerator& initial, int32_t position = -1);
  // A named parameter. With a default generator, code is emitted that evaluates it
  // only when the passed value is identical to void.
  void AddParameter(const tNUVString& name, const tNUVValueGenerator& defaultValue = nullptr,
                    int32_t position = -1);
  // The rest parameter; an empty name is the bare "*".
  void AddRestParameter(const tNUVString& name);
  void SetSetterParameter(const tNUVString& name);

  // Nesting ------------------------------------------------------------------------------
  tNestData& PushNest(tNUVNestType type);
  // Pops the top entry; a missing or different entry is reported as a syntax error
  // and an empty entry is returned.
  tNestData PopNest(tNUVNestType type, int32_t position = -1);
  // The top entry, or null.
  tNestData* CurrentNest() { return Nest.empty() ? nullptr : &Nest.back(); }
  int32_t NestCount() const { return static_cast<int32_t>(Nest.size()); }
  tNestData& NestAt(int32_t index) { return Nest[static_cast<size_t>(index)]; }
  // The operand of the false jump of the if statement closed last, which an else
  // that follows moves behind its own jump.
  int32_t GetLastIfPatch() const { return LastIfPatch; }
  void SetLastIfPatch(int32_t operand) { LastIfPatch = operand; }

  // Expression nodes ------------------------------------------------------------------------
  tNUVExprNode* AllocateNode(int32_t op, int32_t position);
  void OpenListNode(tNUVExprNode* node);
  tNUVExprNode* CurrentListNode() const { return ListNodes.empty() ? nullptr : ListNodes.back(); }
  void CloseListNode();
  int32_t GetNodeCount() const { return static_cast<int32_t>(Nodes.size()); }

  // Positions -----------------------------------------------------------------------------
  int32_t FindPosition(int32_t codePosition);
  int32_t FirstCodeOfLine(int32_t codePosition);
  // The pairs sorted by code position.
  const std::vector<tNUVSourcePositionPair>& SortedPositions();
  // The position table (for the disassembler).
  tNUVSourcePositionTable& GetPositionTable() { return Positions; }
  int32_t GetLastPosition() const { return LastPosition; }

  // Texts -----------------------------------------------------------------------------------
  tNUVString KindAndName() const;
  tNUVString ShortLabel() const;
  tNUVString PositionLabel(int32_t codePosition);
  // Prints "warning text at block line n"; compilation goes on.
  void CompileWarning(const tNUVString& text, int32_t position);

  // Commit ----------------------------------------------------------------------------------
  // Commits the context when the parser closes it (once; further calls do nothing).
  void Finish();
  // Queues a code replacement applied at commit.
  void QueueFix(tFixData fix);
  int32_t GetRegistrationPoint() const { return RegistrationPoint; }
  void SetRegistrationPoint(int32_t point) { RegistrationPoint = point; }
  const std::vector<tNonLocalFunctionDecl>& GetNonLocalDecls() const { return NonLocalDecls; }
  // Super class getter proxy: the code position where each named super class's
  // getter starts, in declaration order.
  void AddSuperClassEntry(int32_t codePosition) { Guarded([&] { SuperClassEntries.push_back(codePosition); }); }
  const std::vector<int32_t>& GetSuperClassEntries() const { return SuperClassEntries; }

  // Run-time fields ------------------------------------------------------------------------
  const std::vector<tNUVVariant>& GetData() const { return Data; }
  // The interpreter's remembered member lookups, one per data entry (so a name
  // constant's is at its data index). The data area is fixed once the context
  // runs, so the array stays where it is.
  tNUVMemberCacheEntry* GetMemberCaches() {
    if (MemberCacheCount != Data.size()) [[unlikely]] RenewMemberCaches();
    return MemberCaches.get();
  }
  int32_t GetLocalSlotCount() const { return LocalSlotCount; }
  int32_t GetFrameRegisterCount() const { return TempHighWater; }
  int32_t GetArgCount() const { return ArgCount; }
  int32_t GetUnnamedArgBase() const { return UnnamedArgBase; }
  int32_t GetCollapseBase() const { return CollapseBase; }

  // Object interface (code_context_object.cpp) ------------------------------------------
  // Calling a context runs it by its kind; a property reads and writes through its
  // getter and setter; new on a class builds an instance; member operations that
  // find nothing on a class go on to its super classes, the last named first.
  int32_t Reserved2() override { return NUVEngineKindCodeContext; }
  // The class's own member of that name when it holds a function that calling
  // the member would simply run; null otherwise.
  tSymbolData* OwnConstructor(const tNUVString& name);
  int32_t CallMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                     int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t GetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                    iNUVDispatch2* objThis) override;
  int32_t SetMember(uint32_t flags, const char16_t* memberName, uint32_t* hint, const tNUVVariant* value,
                    iNUVDispatch2* objThis) override;
  // Answers -1002, so every set goes through SetMember.
  int32_t SetMemberByBody(uint32_t flags, tNUVVariantString* memberName, const tNUVVariant* value,
                          iNUVDispatch2* objThis) override;
  int32_t GetMemberCount(int32_t* result, const char16_t* memberName, uint32_t* hint,
                         iNUVDispatch2* objThis) override;
  int32_t DeleteMember(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                       iNUVDispatch2* objThis) override;
  int32_t Invalidate(uint32_t flags, const char16_t* memberName, uint32_t* hint,
                     iNUVDispatch2* objThis) override;
  int32_t IsValid(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2* objThis) override;
  int32_t CreateInstance(uint32_t flags, const char16_t* memberName, uint32_t* hint, iNUVDispatch2** result,
                         int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2* objThis) override;
  int32_t IsInstanceOf(uint32_t flags, const char16_t* memberName, uint32_t* hint, const char16_t* className,
                       iNUVDispatch2* objThis) override;
  int32_t ApplyOperation(uint32_t flags, const char16_t* memberName, uint32_t* hint, tNUVVariant* result,
                         const tNUVVariant* operand, iNUVDispatch2* objThis) override;

private:
  [[noreturn]] void RaiseOutOfMemory();
  // Runs an action that grows an area; exhausted memory becomes a compile error.
  template <typename tAction>
  void Guarded(tAction action) {
    try {
      action();
    } catch (const std::bad_alloc&) {
      RaiseOutOfMemory();
    } catch (const std::length_error&) {
      RaiseOutOfMemory();
    }
  }
  void AddPositionPair(int32_t codePosition, int32_t sourcePosition);
  const tNUVInstructionInfo& CheckedInfo(tNUVOpcode opcode, tNUVArgumentListKind list, size_t operandCount);
  int32_t EncodeOperand(char shape, int32_t value, int32_t opcodePosition);
  // The name used in labels: an accessor stands for its property.
  const tNUVInterCodeContext* LabelSubject() const;

  // code_context_finish.cpp
  void BindToParent();
  void FinalizeCode();
  void ApplyFix(const tFixData& fix);
  void ThreadJumps();

  tNUVContextKind Kind;
  tNUVString Name;
  tNUVInterCodeContext* Enclosing;
  iNUVCodeContextOwner* Owner;
  tNUVInterCodeContext* Setter = nullptr;
  tNUVInterCodeContext* Getter = nullptr;
  tNUVInterCodeContext* SuperProxy = nullptr;
  tNUVExprNode* SuperExpression = nullptr;

  std::vector<int32_t> Code;
  std::vector<tNUVVariant> Data;   // the constants, and after commit the data area
  // One per data entry, made on first run. Should the data area ever grow after
  // that, a new array is made and the old one kept, as running activations may
  // still use it.
  std::unique_ptr<tNUVMemberCacheEntry[]> MemberCaches;
  size_t MemberCacheCount = 0;
  std::vector<std::unique_ptr<tNUVMemberCacheEntry[]>> RetiredMemberCaches;
  void RenewMemberCaches();
  tNUVSourcePositionTable Positions;
  int32_t LastPosition = -1;

  int32_t NextTemp = 1;
  int32_t TempHighWater = 0;
  int32_t ReservedCount;
  tNUVLocalNamespace Scopes;
  int32_t LocalSlotCount = 0;
  int32_t ArgCount = 0;
  int32_t UnnamedArgBase = 0;
  int32_t CollapseBase = -1;
  int32_t RegistrationPoint = 0;

  std::vector<tNestData> Nest;
  int32_t LastIfPatch = -1;
  std::vector<int32_t> SuperClassEntries;
  std::vector<int32_t> Jumps;
  std::vector<tFixData> Fixes;
  std::vector<tNonLocalFunctionDecl> NonLocalDecls;
  std::vector<tNUVExprNode*> Nodes;
  std::vector<tNUVExprNode*> ListNodes;
  bool Finished = false;
};

// The hash bits of a context's member table by kind.
int32_t NUVContextHashBits(tNUVContextKind kind);

}  // namespace NUV
