// flutter::MethodCodec: the interface's out-of-line members.
#include "codec/method_codec.h"

namespace flutter {

MethodCodec::MethodCodec() = default;
MethodCodec::~MethodCodec() = default;

}  // namespace flutter
