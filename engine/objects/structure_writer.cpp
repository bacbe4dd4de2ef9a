#include "engine/objects/structure_writer.h"

#include <algorithm>

#include "engine/objects/array.h"
#include "engine/objects/dictionary.h"
#include "engine/services/error_report.h"
#include "engine/services/errors.h"
#include "engine/services/text_stream.h"

namespace NUV {

bool tNUVStructureStack::Contains(const iNUVDispatch2* object) const {
  return std::find(Objects.begin(), Objects.end(), object) != Objects.end();
}

void tNUVStructureStack::Push(iNUVDispatch2* object) {
  if (GetDepth() >= NUVMaxStructureDepth) NUVThrowError(NUVRangeError);
  Objects.push_back(object);
}

void NUVWriteStructuredValue(const tNUVVariant& value, tNUVStructureStack& stack, tNUVStringAppender& buffer,
                             const tNUVString& childIndent) {
  if (value.vt != tvtObject) {
    buffer.Append(value.TypedLiteralText());
    return;
  }
  iNUVDispatch2* target = NUVStructureTarget(value);
  if (!target) {
    buffer.Append(u"null", 4);
    return;
  }
  if (stack.Contains(target)) {
    buffer.Append(u"null /* object recursion detected */", -1);
    return;
  }
  tNUVStructuredInstance* container = NUVFindDictionary(target);
  if (!container) container = NUVFindArray(target);
  if (container) {
    tNUVStructureStackEntry entry(stack, target);
    container->SaveStructuredText(stack, buffer, childIndent);
    return;
  }
  buffer.Append(u"null /* (object) \"", -1);
  buffer.Append(value.AsString().Escape());
  buffer.Append(u"\" */", -1);
}

tNUVVariant NUVCopyStructuredValue(const tNUVVariant& value, tNUVStructureStack& stack) {
  if (value.vt != tvtObject) return value;
  iNUVDispatch2* target = NUVStructureTarget(value);
  tNUVDictionaryNI* dictionary = NUVFindDictionary(target);
  tNUVArrayNI* array = dictionary ? nullptr : NUVFindArray(target);
  if (!dictionary && !array) return value;
  if (stack.Contains(target)) {
    tNUVVariant none;
    none.SetObject(nullptr, nullptr);
    return none;
  }
  tNUVStructureStackEntry entry(stack, target);
  iNUVDispatch2* fresh = dictionary ? CreateDictionaryObject() : CreateArrayObject();
  tNUVVariant copy(fresh, fresh);
  fresh->Release();   // copy holds the references now
  if (dictionary) NUVFindDictionary(fresh)->CopyStructureFrom(target, stack);
  else NUVFindArray(fresh)->CopyStructureFrom(*array, stack);
  return copy;
}

void NUVSaveStructureToFile(iNUVDispatch2* root, tNUVStructuredInstance& instance, const tNUVString& fileName,
                            const tNUVString& mode) {
  tNUVStringAppender buffer;
  {
    tNUVStructureStack stack;
    tNUVStructureStackEntry entry(stack, root);
    instance.SaveStructuredText(stack, buffer, tNUVString());
  }
  tNUVTextStreamHolder<iNUVTextWriteStream> stream(NUVCreateTextWriteStream(fileName, mode));
  stream->Write(buffer.ToString());
}

int32_t tNUVMemberVisitor::CallMember(uint32_t, const char16_t* memberName, uint32_t*, tNUVVariant* result,
                                      int32_t argumentCount, tNUVVariant** arguments, iNUVDispatch2*) {
  if (memberName) return NUVResultMemberNotFound;
  if (argumentCount < 3) return NUVResultBadParamCount;
  Visit(*arguments[0], static_cast<uint32_t>(arguments[1]->AsInteger()), *arguments[2]);
  if (result) *result = int64_t{1};
  return NUVResultOk;
}

void NUVEnumerateInto(iNUVDispatch2* source, tNUVMemberVisitor* visitor) {
  struct tCreationReference {
    iNUVDispatch2* Object;
    ~tCreationReference() { NUVReleaseNoThrow(Object); }
  } reference{visitor};
  tNUVVariantClosure callback(visitor, nullptr);
  NUVThrowFromResultCode(source->EnumerateMembers(NUVIgnoreProperty, &callback, source));
}

}  // namespace NUV
