#pragma once
// Making expression-tree nodes for the parser.
//
// Every node is allocated through the compile host, so it belongs to the current
// code context. NUVMakeNode folds operators whose operands are all constants:
// instead of the operator node it returns a new T_CONSTVAL node and releases the
// operands' values (the operand nodes themselves stay in their context's list).
// Folding uses the variant operators the virtual machine uses, so a folded
// expression yields the value it would have produced at run time; an operation
// that would fail at run time fails here (for example NUVDivideByZero for "%" and
// "\" by a constant 0), raised as an engine error that ends the compilation.
//
// Nothing here walks a tree: folding looks only at a node's direct children, so
// deeply nested expressions cost no native stack.

#include <cstdint>

#include "engine/compiler/compile_host.h"
#include "engine/compiler/expression_node.h"
#include "engine/values/variant.h"

namespace NUV {

// A node of kind op with 0 to 3 children, each of which may be null (an absent
// element). position is the lexer's position of the token scanned last.
tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op);
tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first);
tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first,
                          tNUVExprNode* second);
tNUVExprNode* NUVMakeNode(iNUVCompileHost* host, int32_t position, int32_t op, tNUVExprNode* first,
                          tNUVExprNode* second, tNUVExprNode* third);

// A T_CONSTVAL node holding a copy of value.
tNUVExprNode* NUVMakeConstNode(iNUVCompileHost* host, int32_t position, const tNUVVariant& value);

// Whether kind op is folded when its only child, or both of its two children, are
// constants.
bool NUVIsFoldedUnary(int32_t op);
bool NUVIsFoldedBinary(int32_t op);

}  // namespace NUV
