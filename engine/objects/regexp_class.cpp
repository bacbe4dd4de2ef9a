#include "engine/objects/regexp_class.h"

namespace NUV {

tNUVNC_RegExp::tNUVNC_RegExp() : tNUVNativeClass(u"RegExp") {}

}  // namespace NUV
