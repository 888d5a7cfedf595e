// Out-of-line destructor of the texture registrar interface.
#include "engine_client/texture_registrar.h"

namespace flutter {

TextureRegistrar::~TextureRegistrar() = default;

}  // namespace flutter
