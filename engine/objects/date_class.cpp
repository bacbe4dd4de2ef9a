#include "engine/objects/date_class.h"

namespace NUV {

tNUVNC_Date::tNUVNC_Date() : tNUVNativeClass(u"Date") {}

}  // namespace NUV
