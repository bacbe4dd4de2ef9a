#pragma once
// tNUVExprNode: one node of an expression tree.
//
// The parser builds a tree per expression and the code generator walks it when
// the enclosing statement is reduced. Op is a token code (tokens.h): the
// operator's own token, or a T_ kind the parser makes. Nodes are owned by the code
// context that was current when they were made (its node list); freeing a node
// frees its child list and value, never its children, which are in the same list.

#include <cstdint>
#include <vector>

#include "engine/values/variant.h"

namespace NUV {

class tNUVExprNode {
public:
  tNUVExprNode(int32_t op, int32_t position) : Op(op), Position(position) {}
  ~tNUVExprNode() {
    delete Children;
    delete Value;
  }
  tNUVExprNode(const tNUVExprNode&) = delete;
  tNUVExprNode& operator=(const tNUVExprNode&) = delete;

  int32_t GetOpecode() const { return Op; }
  void SetOpecode(int32_t op) { Op = op; }
  int32_t GetPosition() const { return Position; }

  int32_t GetSize() const { return Children ? static_cast<int32_t>(Children->size()) : 0; }
  // A child may be null where the grammar allows an empty element.
  tNUVExprNode* operator[](int32_t index) const {
    return Children && index >= 0 && index < GetSize() ? (*Children)[index] : nullptr;
  }
  void Add(tNUVExprNode* child) {
    if (!Children) Children = new std::vector<tNUVExprNode*>;
    Children->push_back(child);
  }

  bool HasValue() const { return Value != nullptr; }
  // The node's value; void when none was set.
  const tNUVVariant& GetValue() const {
    static const tNUVVariant none;
    return Value ? *Value : none;
  }
  void SetValue(const tNUVVariant& value) {
    if (!Value) Value = new tNUVVariant(value);
    else *Value = value;
  }
  // Drops the child list and value (used when folding replaces a node's content).
  void Clear() {
    delete Children;
    Children = nullptr;
    delete Value;
    Value = nullptr;
  }

private:
  int32_t Op;
  int32_t Position;
  std::vector<tNUVExprNode*>* Children = nullptr;
  tNUVVariant* Value = nullptr;
};

}  // namespace NUV
