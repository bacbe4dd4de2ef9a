#include "environment/library_messages.h"

namespace NUV {

tNUVMessageHolder MrvkCannotAcceptDLL(u"MrvkCannotAcceptDLL",
    u"このバージョンのDLL(ver. %1)は使用できません。");
tNUVMessageHolder MrvkDLLLoadError(u"MrvkDLLLoadError",
    u"DLLのロードに失敗しました。");
tNUVMessageHolder MrvkCannotOpenStorage(u"MrvkCannotOpenStorage",
    u"ストレージ %1 を開くことができません。");
tNUVMessageHolder MrvkUnsupportedCipherMode(u"MrvkUnsupportedCipherMode",
    u"%1 は未対応の暗号化形式か、データが破損しています。");

}  // namespace NUV
