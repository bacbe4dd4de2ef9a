// The exception dump: what an engine error that leaves compiled code writes to the
// console before it becomes a script error. A header naming the position, the VM
// code of the failing source line up to the failing instruction, every register
// of the frame, and a closing rule as wide as the header.

#include <string>

#include "engine/compiler/script_block.h"
#include "engine/services/script_errors.h"
#include "engine/vm/code_context.h"
#include "engine/vm/disassembler.h"
#include "engine/vm/interpreter.h"

namespace NUV::InterpreterDetail {

namespace {

// Register values are cut to this many characters.
constexpr int32_t NUVDumpValueLimit = 512;

// The block's text rebuilt from its lines: each line at its own position, with
// the break between two lines restored as LF, or CR LF where it took two units,
// so the disassembler maps positions to the same lines as the block does.
std::u16string SourceTextOf(tNUVScriptBlock& block) {
  std::u16string text;
  const int32_t base = block.GetLineBase();
  for (int32_t i = 0; i < block.GetLineCount(); ++i) {
    size_t start = static_cast<size_t>(block.LineToSourcePosition(base + i));
    if (start > text.size()) {
      size_t gap = start - text.size();
      if (gap >= 2) text.append(gap - 2, u' ').append(u"\r\n");
      else text.push_back(u'\n');
    }
    tNUVString line = block.LineText(base + i);
    text.append(line.c_str(), static_cast<size_t>(line.GetLen()));
  }
  return text;
}

}  // namespace

void WriteExceptionDump(const tActivation& activation, int32_t ip,
                        void (*output)(const tNUVString& line, void* userData), void* userData) {
  tNUVInterCodeContext* context = activation.Context;
  tNUVString header = tNUVString(u"==== An exception occured at ") + NUVCodePositionDescription(context, ip) +
                      tNUVString::Formatted(u", VM ip = %d ====", ip);
  const int32_t width = header.GetLen();
  output(header, userData);

  output(tNUVString(u"-- Disassembled VM code --"), userData);
  tNUVDisassemblyInput input;
  input.Code = context->GetCodeView();
  input.Data = context->GetData().data();
  input.DataCount = context->GetConstantCount();
  input.Positions = &context->GetPositionTable();
  input.Kind = context->GetKind();
  input.Name = context->GetName();
  input.Identity = context;
  std::u16string source;
  tNUVSourceLines lines;
  if (tNUVScriptBlock* block = context->GetOwner()->GetScriptBlock()) {
    source = SourceTextOf(*block);
    lines = tNUVSourceLines(source.data(), static_cast<int32_t>(source.size()), block->GetLineBase());
    input.Lines = &lines;
  }
  tNUVDisassembler disassembler(input, output, userData);
  if (input.Lines) {
    disassembler.DisassembleAround(ip);
  } else {
    disassembler.DisassembleRange(context->FirstCodeOfLine(ip), ip + 1);
  }

  output(tNUVString(u"-- Register dump --"), userData);
  const int32_t lowest = -(context->GetLocalSlotCount() + context->GetReservedCount());
  const int32_t highest = context->GetFrameRegisterCount();
  tNUVString line;
  for (int32_t reg = lowest; reg <= highest; ++reg) {
    tNUVString item = tNUVString::Formatted(u"%%%d=", reg) + activation.Base[reg].ReadableText(NUVDumpValueLimit);
    if (line.IsEmpty()) {
      line = item;
    } else if (line.GetLen() + item.GetLen() + 2 > width) {
      output(line, userData);
      line = item;
    } else {
      line += u"  ";
      line += item;
    }
  }
  if (!line.IsEmpty()) output(line, userData);

  output(tNUVString(std::u16string(static_cast<size_t>(width), u'-')), userData);
}

}  // namespace NUV::InterpreterDetail
