// The small parsers that read untrusted text, chosen by the first input byte:
//   0 number texts (string-to-number conversion and the number scanner)
//   1 sprintf templates with generated arguments
//   2 the Date text parser
//   3 RegExp compilation and matching (pattern, a 0 byte, the subject)
//   4 Array and Dictionary assign, assignStruct and saveStruct of a generated
//     structure (which may contain cycles); saveStruct writes to memory
//   5 Array line files (load) and split
// The rest of the input is the text: UTF-8 where it is valid, else one unit a byte.

#include <cstring>
#include <string>
#include <vector>

#include "engine/compiler/number_scanner.h"
#include "engine/objects/array.h"
#include "engine/objects/date_parser.h"
#include "engine/objects/dictionary.h"
#include "engine/objects/regexp_class.h"
#include "engine/services/errors.h"
#include "engine/services/text_stream.h"
#include "engine/values/global_string_map.h"
#include "engine/values/variant.h"
#include "tests/fuzz/fuzz_support.h"

using namespace NUV;

namespace {

std::u16string Wide(const uint8_t* data, size_t size) {
  std::u16string wide;
  if (Platform::NarrowToWide(reinterpret_cast<const char*>(data), size, wide)) return wide;
  return std::u16string(data, data + size);
}

// Memory files: reads answer FileText, writes are counted and dropped.
std::u16string FileText;
size_t WrittenUnits = 0;

class tMemoryReadStream final : public iNUVTextReadStream {
public:
  uint32_t Read(tNUVString& out, uint32_t) override {
    out = tNUVString(FileText);
    return static_cast<uint32_t>(FileText.size());
  }
  void Destroy() override { delete this; }
};
class tMemoryWriteStream final : public iNUVTextWriteStream {
public:
  void Write(const tNUVString& text) override { WrittenUnits += static_cast<size_t>(text.GetLen()); }
  void Destroy() override { delete this; }
};
iNUVTextReadStream* OpenRead(const tNUVString*, const tNUVString*) { return new tMemoryReadStream; }
iNUVTextWriteStream* OpenWrite(const tNUVString*, const tNUVString*) { return new tMemoryWriteStream; }

void Numbers(const std::u16string& text) {
  tNUVString string(text);
  (void)ParseNumberText(string.c_str());
  const char16_t* cursor = string.c_str();
  tNUVScannedNumber number;
  (void)ScanNumber(cursor, number);
  cursor = string.c_str();
  (void)ScanNumberWord(cursor, number);
  tNUVVariant value(string);
  value.ToNumber();
}

// Reads bytes from the front of the input, zero when it is used up.
struct tReader {
  const uint8_t* Data;
  size_t Size;
  bool AtEnd() const { return Size == 0; }
  uint8_t Byte() {
    if (!Size) return 0;
    --Size;
    return *Data++;
  }
  std::u16string Text(size_t length) {
    std::u16string text;
    for (size_t i = 0; i < length && Size; ++i) {
      uint8_t byte = Byte();
      // Bytes from F0 up stand for surrogates, paired or not.
      text += byte >= 0xF0 ? static_cast<char16_t>(byte < 0xF8 ? 0xD800 + byte - 0xF0 : 0xDC00 + byte - 0xF8)
                           : static_cast<char16_t>(byte);
    }
    return text;
  }
};

tNUVVariant Scalar(tReader& reader) {
  static const double reals[] = {0.0, -0.0, 1.5, -2.25, 1e300, -1e-300, 9.2233720368547758e18,
                                 __builtin_nan(""), __builtin_inf(), -__builtin_inf()};
  switch (reader.Byte() % 5) {
    case 0: return tNUVVariant();
    case 1: {
      static const int64_t integers[] = {0, 1, -1, 255, INT32_MAX, INT32_MIN, INT64_MAX, INT64_MIN};
      uint8_t byte = reader.Byte();
      return tNUVVariant(byte < 8 ? integers[byte] : static_cast<int64_t>(static_cast<int8_t>(byte)));
    }
    case 2: return tNUVVariant(reals[reader.Byte() % 10]);
    case 3: return tNUVVariant(tNUVString(reader.Text(reader.Byte() % 12)));
    default: return tNUVVariant(tNUVString(std::u16string(reader.Byte() * 4u, u'x')));
  }
}

void Format(const uint8_t* data, size_t size) {
  tReader reader{data, size};
  std::vector<tNUVVariant> values;
  for (uint8_t count = reader.Byte() % 6; count; --count) {
    if (reader.Byte() % 4 == 0) {
      iNUVDispatch2* array = CreateArrayObject();
      values.emplace_back(array, array);
      array->Release();
    } else {
      values.push_back(Scalar(reader));
    }
  }
  std::vector<tNUVVariant*> arguments;
  for (tNUVVariant& value : values) arguments.push_back(&value);
  tNUVString templ(Wide(reader.Data, reader.Size));
  try {
    (void)FormatTemplate(templ, static_cast<int32_t>(arguments.size()), arguments.data());
  } catch (const eNUV&) {
  }
}

void Date(const std::u16string& text) {
  tNUVDateParser parser;
  try {
    (void)parser.Parse(text.data(), static_cast<int32_t>(text.size()));
  } catch (const eNUV&) {
  }
}

// Through the RegExp instance data, which is what scripts reach.
void RegExp(const uint8_t* data, size_t size) {
  if (!size) return;
  uint8_t control = data[0];
  ++data;
  --size;
  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  size_t patternSize = split ? static_cast<size_t>(split - data) : size;
  tNUVString pattern(Wide(data, patternSize));
  tNUVString subject(split ? Wide(split + 1, size - patternSize - 1) : std::u16string(u"aAbB01 _\n"));
  uint32_t flags = tNUVNI_RegExp::DefaultFlags;
  if (control & 1) flags |= tNUVNI_RegExp::IgnoreCaseFlag;
  if (control & 2) flags |= tNUVNI_RegExp::GlobalFlag;
  tNUVNI_RegExp expression;
  try {
    expression.Compile(pattern, flags);
  } catch (const eNUV&) {
    return;
  }
  try {
    (void)expression.Test(subject);
    expression.SetStart(control >> 4);
    for (int32_t count = 0; count < 8; ++count) (void)expression.Exec(subject);
    tNUVString output;
    (void)expression.Replace(subject, tNUVVariant(tNUVString(u"<$1$&>")), nullptr, output);
    iNUVDispatch2* array = CreateArrayObject();
    expression.Split(subject, control & 4, *NUVFindArray(array));
    array->Release();
  } catch (const eNUV&) {
  }
}

// Builds a structure with a small stack machine over the bytes and hands it to
// the structure methods.
tNUVDictionaryClass* DictionaryClass = nullptr;

void Structures(const uint8_t* data, size_t size) {
  tReader reader{data, size};
  std::vector<tNUVVariant> stack;
  std::vector<tNUVVariant> containers;
  auto push = [&](iNUVDispatch2* object) {
    stack.emplace_back(object, object);
    containers.emplace_back(object, object);
    object->Release();
  };
  push(CreateArrayObject());
  while (!reader.AtEnd() && stack.size() < 64) {
    uint8_t op = reader.Byte();
    switch (op % 6) {
      case 0: stack.push_back(Scalar(reader)); break;
      case 1: push(CreateArrayObject()); break;
      case 2: push(CreateDictionaryObject()); break;
      case 3: stack.push_back(containers[reader.Byte() % containers.size()]); break;
      default: {
        // Stores the top into the container below it (or into the root).
        if (stack.size() < 2) break;
        tNUVVariant value = stack.back();
        stack.pop_back();
        size_t index = stack.size() - 1;
        while (index > 0 && stack[index].Type() != tvtObject) --index;
        iNUVDispatch2* container = stack[index].AsObjectNoError();
        if (!container) break;
        if (op % 6 == 4 && NUVFindArray(container)) {
          NUVFindArray(container)->Add(value);
        } else {
          tNUVString key(reader.Text(reader.Byte() % 6));
          uint32_t flags = NUVMemberEnsure | (reader.Byte() % 5 == 0 ? NUVHiddenMember : 0);
          try {
            container->SetMember(flags, key.c_str(), nullptr, &value, container);
          } catch (const eNUV&) {
            // An empty name is refused.
          }
        }
      }
    }
  }
  tNUVVariant fileName(tNUVString(u"memory.txt"));
  tNUVVariant* arguments[1] = {&fileName};
  auto call = [](iNUVDispatch2* target, iNUVDispatch2* methods, const char16_t* name, tNUVVariant* argument) {
    tNUVVariant result;
    tNUVVariant* arguments[1] = {argument};
    try {
      methods->CallMember(0, name, nullptr, &result, 1, arguments, target);
    } catch (const eNUV&) {
    }
  };
  for (const tNUVVariant& entry : containers) {
    iNUVDispatch2* object = entry.AsObjectNoError();
    tNUVVariant source(object, object);
    if (NUVFindArray(object)) {
      call(object, object, u"saveStruct", arguments[0]);
    } else {
      call(object, DictionaryClass, u"saveStruct", arguments[0]);
    }
    iNUVDispatch2* array = CreateArrayObject();
    iNUVDispatch2* dictionary = CreateDictionaryObject();
    call(array, array, u"assign", &source);
    call(array, array, u"assignStruct", &source);
    call(dictionary, DictionaryClass, u"assign", &source);
    call(dictionary, DictionaryClass, u"assignStruct", &source);
    call(dictionary, DictionaryClass, u"saveStruct", arguments[0]);
    array->Release();
    dictionary->Release();
  }
  // Break the cycles the machine may have made (members of arrays included), so
  // nothing outlives the input.
  for (const tNUVVariant& entry : containers) {
    iNUVDispatch2* object = entry.AsObjectNoError();
    try {
      object->Invalidate(0, nullptr, nullptr, object);
    } catch (const eNUV&) {
    }
  }
}

void LinesAndSplit(const uint8_t* data, size_t size) {
  if (!size) return;
  uint8_t control = data[0];
  FileText = Wide(data + 1, size - 1);
  iNUVDispatch2* array = CreateArrayObject();
  tNUVArrayNI* self = NUVFindArray(array);
  try {
    self->Load(tNUVString(u"memory.txt"), tNUVString(u"r"));
    self->Save(tNUVString(u"memory.txt"), tNUVString(u"w"));
  } catch (const eNUV&) {
  }
  try {
    std::u16string delimiter = FileText.substr(0, control % 3);
    self->Split(tNUVVariant(tNUVString(delimiter)), tNUVString(FileText), control & 4);
    (void)self->Join(tNUVString(u","), control & 8);
  } catch (const eNUV&) {
  }
  self->Clear();
  array->Release();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  NUVAddRefGlobalStringMap();
  NUVSetTextReadStreamFactory(OpenRead);
  NUVSetTextWriteStreamFactory(OpenWrite);
  DictionaryClass = new tNUVDictionaryClass;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t* rest = data + 1;
  size_t restSize = size - 1;
  switch (data[0] % 6) {
    case 0: Numbers(Wide(rest, restSize)); break;
    case 1: Format(rest, restSize); break;
    case 2: Date(Wide(rest, restSize)); break;
    case 3: RegExp(rest, restSize); break;
    case 4: Structures(rest, restSize); break;
    default: LinesAndSplit(rest, restSize); break;
  }
  return 0;
}
