#include "engine/objects/math_class.h"

namespace NUV {

tNUVNC_Math::tNUVNC_Math() : tNUVNativeClass(u"Math") {
  tNUVVariant generator(static_cast<iNUVDispatch2*>(new tNUVNativeClass(u"RandomGenerator")), nullptr);
  generator.Object.Object->Release();
  SetMember(NUVMemberEnsure, u"RandomGenerator", nullptr, &generator, this);
}

}  // namespace NUV
